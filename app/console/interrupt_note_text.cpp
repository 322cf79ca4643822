#include "app/console/interrupt_note_text.h"

namespace pelmo {

std::array<std::string_view, 5> InterruptNotePieces(bool interrupted, std::string_view path,
                                                    OutputFate fate) noexcept {
  const std::string_view ended = interrupted ? "pelmo: interrupted" : "pelmo: terminated";
  if (fate == OutputFate::NotAFile) {
    return {ended, {}, {}, {}, "\n"};
  }
  return {ended, "; ", path, fate == OutputFate::Unchanged ? " unchanged" : " was written", "\n"};
}

}  // namespace pelmo
