// Test-only: a self-signed certificate for 127.0.0.1, made with the openssl command at test
// time so that no key is kept in the tree and none expires there.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace pelmo::quote_server::testing {

struct TestCertificate {
  std::string certPath;  // PEM; also the file a client trusts to verify it
  std::string keyPath;   // PEM, unencrypted
  bool made = false;     // false when the openssl command failed
};

// Makes a certificate and key named NAME.cert.pem and NAME.key.pem in `folder`.
inline TestCertificate MakeTestCertificate(const std::filesystem::path& folder,
                                           const std::string& name) {
  TestCertificate made;
  made.certPath = (folder / (name + ".cert.pem")).string();
  made.keyPath = (folder / (name + ".key.pem")).string();
  const std::string command =
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
      "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout '" +
      made.keyPath + "' -out '" + made.certPath + "' >/dev/null 2>&1";
  made.made = std::system(command.c_str()) == 0 && std::filesystem::exists(made.certPath);
  return made;
}

}  // namespace pelmo::quote_server::testing
