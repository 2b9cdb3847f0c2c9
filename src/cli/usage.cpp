#include "commands.h"

namespace dorvalix::cli {

const char* const kUsage =
    "usage: dorvalix-cli refine FILE... [--system CODE] [--exclude N[,N...]] [--order dhkl|hkld]\n"
    "                        [--lang e|j] [--format report|json|cif|csv|summary]\n"
    "                        [--details] [--lattice P|A|B|C|I|F|R]\n"
    "                        [--wavelength L | --xray NAME] [--fit q|2theta] [--zero-shift]\n"
    "       dorvalix-cli hkl --cell A B C ALPHA BETA GAMMA [--system CODE] [--dmin D]\n"
    "                        [--wavelength L | --xray NAME] [--range all|asym] [--sort]\n";

}  // namespace dorvalix::cli
