#include "commands.h"

namespace dorvalix::cli {

const char* const kUsage =
    "usage: dorvalix-cli refine FILE [--system CODE] [--exclude N[,N...]] [--order dhkl|hkld]\n"
    "                        [--lang e|j] [--format report|json]\n"
    "       dorvalix-cli hkl --cell A B C ALPHA BETA GAMMA [--system CODE] [--dmin D]\n"
    "                        [--wavelength L | --xray NAME] [--range all|asym] [--sort]\n";

}  // namespace dorvalix::cli
