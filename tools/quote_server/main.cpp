#include "tools/quote_server/server_main.h"

int main(int argc, char** argv) {
  return pelmo::quote_server::QuoteServerMain(argc, argv);
}
