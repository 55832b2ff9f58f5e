#include <iostream>

#include "main/cli/cli.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    return talvex::cli::Run(argc, argv, std::cout, std::cerr);
}
