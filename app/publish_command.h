// modpublish: publishes a mod folder to the Steam Workshop.
#ifndef MODPUBLISH_APP_PUBLISH_COMMAND_H_
#define MODPUBLISH_APP_PUBLISH_COMMAND_H_

// The whole program: parses the arguments, reads the description file
// (echoing it in verbose mode) and the description files its sections name,
// stops where Steam would refuse what would be sent (SureFailures), and runs
// the upload, handing Steam the content folder and the preview made
// absolute (ResolveModPaths). Returns the process exit status:
//  - 0 after the usage text, and after a run that ends with "Uploading done
//    successfully";
//  - 1 after a run that fails at a step;
//  - 2 after the BadItemIdMessage line, before anything is read;
//  - 1 when the current folder, needed to make the path absolute, can't be
//    determined (after a line that says so);
//  - 1 when the description file can't be read, after "File not found:
//    %s\n" with its path (missing, not a regular file, unreadable), and
//    also 1, after "Not enough memory to read %s\n", when it doesn't fit in
//    memory; likewise for a description file that a section to upload
//    names;
//  - 1 after one line for each thing Steam would refuse for sure.
// Steam is never touched in the cases that return 1 before a run or 2.
int RunModpublish(int argc, const char* const* argv);

#endif  // MODPUBLISH_APP_PUBLISH_COMMAND_H_
