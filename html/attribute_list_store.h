// Block storage for the attribute lists of one token list.
//
// Every HtmlAttributeList carries a small header in front of it that says where its memory
// came from: lists made here live in the store's blocks, whose memory goes with the store;
// lists made with plain `new` (make_unique) come from the heap and go back to it when their
// unique_ptr deletes them. Deleting a stored list runs its destructor and leaves the memory.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "html/html_token.h"

namespace pelmo {

class AttributeListStore {
 public:
  AttributeListStore() = default;
  AttributeListStore(const AttributeListStore&) = delete;
  AttributeListStore& operator=(const AttributeListStore&) = delete;

  // A new empty list in the store. It must be released before the store is destroyed.
  std::unique_ptr<HtmlAttributeList> Make();

 private:
  // Kept out of Make, which runs for every start tag, so that it stays small enough to inline.
  [[gnu::noinline]] void AddBlock();

  std::vector<std::unique_ptr<std::byte[]>> blocks_;
  std::size_t usedInLast_ = 0;
};

}  // namespace pelmo
