// brindlework-check: the site check alone, for machines without a desktop (a CI runner).
#include <string>
#include <vector>

#include "check/CheckCommand.h"

int main(int argc, char** argv)
{
    return bw::checkCommand(std::vector<std::string>(argv + 1, argv + argc), "brindlework-check",
                            "Usage: brindlework-check [--format text|json|sarif|junit|html] [--baseline FILE] [--write-baseline FILE] [--read-pictures] PATH...");
}
