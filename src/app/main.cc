#include "app/run_report.h"
#include "platform/text_stream.h"

// The version, for `strings tarvex` and for whoever supports a site: the
// command line is fixed, so no option prints it.
[[gnu::used]] static const char versionText[] = "tarvex version " TARVEX_VERSION;

int main(int argc, char** argv) {
    // Before anything else is opened, so that no file can take the place of
    // a standard stream the caller left closed.
    if (!openStandardStreams()) return 1;
    return runReport(argc, argv);
}
