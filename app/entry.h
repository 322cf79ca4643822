// The program entry: parses the command line into a job, loads the existing output file,
// runs the download and returns the exit code.
#pragma once

namespace pelmo {

int RunPelmo(int argc, char** argv);

}  // namespace pelmo
