// The program quote-server: reads the command line, serves until SIGINT or SIGTERM.
#pragma once

namespace pelmo::quote_server {

// Exit code: 0 after a clean stop or --help; 1 for arguments it does not understand or
// when it cannot open the log or listen.
int QuoteServerMain(int argc, char** argv);

}  // namespace pelmo::quote_server
