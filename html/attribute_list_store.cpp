#include "html/attribute_list_store.h"

#include <new>

namespace pelmo {
namespace {

struct alignas(alignof(std::max_align_t)) ListHeader {
  bool inStore;
};

constexpr std::size_t kHeaderSize = sizeof(ListHeader);
constexpr std::size_t kSlotSize =
    kHeaderSize + (sizeof(HtmlAttributeList) + kHeaderSize - 1) / kHeaderSize * kHeaderSize;
constexpr std::size_t kSlotsPerBlock = 256;

ListHeader* HeaderOf(void* list) {
  return std::launder(reinterpret_cast<ListHeader*>(static_cast<std::byte*>(list) - kHeaderSize));
}

}  // namespace

void* HtmlAttributeList::operator new(std::size_t size) {
  auto* raw = static_cast<std::byte*>(::operator new(kHeaderSize + size));
  ::new (raw) ListHeader{false};
  return raw + kHeaderSize;
}

void HtmlAttributeList::operator delete(void* list) noexcept {
  if (list == nullptr) {
    return;
  }
  ListHeader* header = HeaderOf(list);
  if (!header->inStore) {
    ::operator delete(header);
  }
}

std::unique_ptr<HtmlAttributeList> AttributeListStore::Make() {
  if (blocks_.empty() || usedInLast_ == kSlotsPerBlock) {
    AddBlock();
  }
  std::byte* slot = blocks_.back().get() + usedInLast_ * kSlotSize;
  ++usedInLast_;
  ::new (slot) ListHeader{true};
  return std::unique_ptr<HtmlAttributeList>(::new (slot + kHeaderSize) HtmlAttributeList());
}

void AttributeListStore::AddBlock() {
  blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(kSlotsPerBlock * kSlotSize));
  usedInLast_ = 0;
}

}  // namespace pelmo
