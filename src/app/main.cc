#include "app/run_report.h"

int main(int argc, char** argv) {
    return runReport(argc, argv);
}
