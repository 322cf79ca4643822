// Test-only: pages paired with the dump of their tree, shared by the grammar's tests on
// hand-made tokens and the tree builder's tests on page text. The markup is written so that
// both read it alike: no white space at the edges of text, no attributes.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

namespace pelmo::test {

struct TreeCase {
  std::string markup;
  std::string dump;
};

inline std::vector<TreeCase> DocumentRuleCases() {
  return {
      {"", "html{head{}body{}}"},
      {"<html><head><body></body></head></html>", "html{head{}body{}}"},
      {"x<html>y<head>z<title>t</title>", "html{head{title{\"t\"}}body{}}"},
      {"<title>t</title><p>x", "html{head{title{\"t\"}}body{p{\"x\"}}}"},
      // Text in front of the body tag is dropped; without the tag it is body's content.
      {"x<body>y", "html{head{}body{\"y\"}}"},
      {"x", "html{head{}body{\"x\"}}"},
      {"<head>x<p>y", "html{head{}body{\"x\"p{\"y\"}}}"},
      {"<head><base><meta><link><isindex><script>s</script><style>c</style>",
       "html{head{base{}meta{}link{}isindex{}script{\"s\"}style{\"c\"}}body{}}"},
      {"<head><style>s</style>", "html{head{style{\"s\"}}body{}}"},
      {"<head><title>a<b>c</b></title><meta>", "html{head{title{\"a\"}meta{}}body{}}"},
      // Once body ends, nothing after it is read.
      {"<body>a<body>b", "html{head{}body{\"a\"}}"},
      // body drops even its own and html's end tags as strays.
      {"a</body></html><p>b", "html{head{}body{\"a\"p{\"b\"}}}"},
  };
}

inline std::vector<TreeCase> OmittedEndTagCases() {
  return {
      {"<table><tr><td>1<td>2<tr><td>3</table>x",
       "html{head{}body{table{tr{td{\"1\"}td{\"2\"}}tr{td{\"3\"}}}\"x\"}}"},
      {"<p>a<p>b", "html{head{}body{p{\"a\"}p{\"b\"}}}"},
      {"<p>a<table></table>", "html{head{}body{p{\"a\"}table{}}}"},
      {"<select><option>a<option>b</select>",
       "html{head{}body{select{option{\"a\"}option{\"b\"}}}}"},
      {"<select><option>a</option><option>b</option></select>",
       "html{head{}body{select{option{\"a\"}option{\"b\"}}}}"},
      {"<dl><dt>t<dd>d<p>e</dl>x", "html{head{}body{dl{dt{\"t\"}dd{\"d\"p{\"e\"}}}\"x\"}}"},
      {"<ul><li>a<li>b<ul><li>c</ul></ul>",
       "html{head{}body{ul{li{\"a\"}li{\"b\"ul{li{\"c\"}}}}}}"},
      {"<table><tr><th>h<td><table><tr><td>in</table>out</table>",
       "html{head{}body{table{tr{th{\"h\"}td{table{tr{td{\"in\"}}}\"out\"}}}}}"},
  };
}

inline std::vector<TreeCase> RequiredEndTagCases() {
  return {
      {"<b>x<table><tr><td>y</table>z</b>w", "html{head{}body{b{\"x\"}\"w\"}}"},
      {"<table><caption>c</caption><caption>d</table>e",
       "html{head{}body{table{caption{\"c\"}}\"e\"}}"},
      {"<table>x</table>y", "html{head{}body{table{}\"y\"}}"},
      {"<pre>a<b>b</b><p>c</pre>d", "html{head{}body{pre{\"a\"b{\"b\"}}\"d\"}}"},
      // Anchors do not nest: the inner one ends the outer one, whose end tag then follows.
      {"<a>x<a>y</a>z", "html{head{}body{a{\"x\"}\"z\"}}"},
      {"<a>x<b>y</b><img></a>", "html{head{}body{a{\"x\"b{\"y\"}img{}}}}"},
      {"<map><area><area>x</map>", "html{head{}body{map{area{}area{}}}}"},
      {"<applet><param>x<param></applet>", "html{head{}body{applet{param{}\"x\"param{}}}}"},
      {"<address>a<p>b</address>", "html{head{}body{address{\"a\"p{\"b\"}}}}"},
      {"<div><h1>t</h1><center>c</center><form><input></form></div>",
       "html{head{}body{div{h1{\"t\"}center{\"c\"}form{input{}}}}}"},
      // A required end tag that never comes takes the rest of the list.
      {"<div>a<td>b</b>c", "html{head{}body{div{\"a\"}}}"},
  };
}

inline std::vector<TreeCase> TextWithoutTextContentCases() {
  return {
      {"<ul>x<li>a</ul>", "html{head{}body{ul{li{\"a\"}}}}"},
      {"<table>x<tr>y<td>1</table>", "html{head{}body{table{tr{td{\"1\"}}}}}"},
      {"<select>x</select>y", "html{head{}body{select{}\"y\"}}"},
      {"<ul>x</ul>y", "html{head{}body{ul{}\"y\"}}"},
  };
}

inline std::vector<TreeCase> TextOnlyElementCases() {
  return {
      {"<textarea>a</textarea>b", "html{head{}body{textarea{\"a\"}\"b\"}}"},
      {"<textarea><b>a</b>c</textarea>d", "html{head{}body{textarea{}\"d\"}}"},
      {"<xmp>a<b>c</xmp><listing>l</listing>", "html{head{}body{xmp{\"a\"}listing{\"l\"}}}"},
      // plaintext and option have optional end tags: what follows goes on in the parent.
      {"<plaintext>a<b>c</b>", "html{head{}body{plaintext{\"a\"}b{\"c\"}}}"},
      {"<plaintext>a</plaintext>b", "html{head{}body{plaintext{\"a\"}\"b\"}}"},
  };
}

inline std::vector<TreeCase> StrayEndTagCases() {
  return {
      {"</div>a", "html{head{}body{\"a\"}}"},
      {"<br></br>a", "html{head{}body{br{}\"a\"}}"},
      // An empty element's end tag stays where it is and ends the content around it.
      {"<p><img></img>x", "html{head{}body{p{img{}}\"x\"}}"},
      {"<table><tr><td><br></br>a<td>b</table>c", "html{head{}body{table{tr{td{br{}}}}\"c\"}}"},
      {"<td>a", "html{head{}body{}}"},
      {"x<td>a<p>b", "html{head{}body{\"x\"}}"},
      {"<li>x", "html{head{}body{}}"},
  };
}

// Each element once inside a div, holding a text and closed by its own end tag, and the
// elements a div refuses, which end it.
inline std::vector<TreeCase> ElementInDivisionCases() {
  std::vector<TreeCase> cases;
  const auto add = [&cases](std::initializer_list<std::string> names, const std::string& inner) {
    for (const std::string& name : names) {
      std::string dump = inner;
      dump.replace(dump.find('X'), 1, name);
      cases.push_back({"<div><" + name + ">t</" + name + "></div>x",
                       "html{head{}body{div{" + dump + "}\"x\"}}"});
    }
  };
  // The div's content takes the element, which takes the text.
  add({"tt",   "i",        "b",       "u",       "strike",   "big",  "small",  "sub",
       "sup",  "em",       "strong",  "dfn",     "code",     "samp", "kbd",    "var",
       "cite", "font",     "a",       "applet",  "h1",       "h2",   "h3",     "h4",
       "h5",   "h6",       "p",       "address", "pre",      "div",  "center", "blockquote",
       "form", "textarea", "listing", "xmp",     "plaintext"},
      "X{\"t\"}");
  // Empty elements: the text follows as their sibling; their end tag ends the div.
  add({"img", "basefont", "br", "input", "isindex", "hr"}, "X{}\"t\"");
  // Containers without text: the text ends the content and the end-tag search drops it.
  add({"ul", "ol", "dir", "menu", "dl", "select", "map", "table"}, "X{}");
  for (const std::string name :
       {"li", "dd", "dt", "td", "th", "tr", "caption", "option", "area", "param", "title", "script",
        "style", "base", "meta", "link", "head", "body", "html"}) {
    cases.push_back({"<div>a<" + name + ">t</div>x", "html{head{}body{div{\"a\"}\"x\"}}"});
  }
  return cases;
}

}  // namespace pelmo::test
