#include "app/entry.h"

int main(int argc, char** argv) {
  return pelmo::RunPelmo(argc, argv);
}
