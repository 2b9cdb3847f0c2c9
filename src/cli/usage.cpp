// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands.h"
#include "version.h"

namespace dorvalix::cli {

const char* const kUsage =
    "usage: dorvalix-cli refine FILE... [--system CODE] [--exclude N[,N...]] [--order dhkl|hkld]\n"
    "                        [--lang e|j] [--format report|json|cif|csv|summary]\n"
    "                        [--details] [--lattice P|A|B|C|I|F|R]\n"
    "                        [--wavelength L | --xray NAME] [--fit q|2theta] [--zero-shift]\n"
    "                        [--output FILE]\n"
    "       dorvalix-cli hkl --cell A B C ALPHA BETA GAMMA [--system CODE] [--dmin D]\n"
    "                        [--wavelength L | --xray NAME] [--range all|asym] [--sort]\n"
    "                        [--lattice P|A|B|C|I|F|R] [--output FILE]\n"
    "       dorvalix-cli pattern FILE [--scan N] [--format xy|json] [--output FILE]\n"
    "       dorvalix-cli peaks FILE [--scan N] [--wavelength L | --xray NAME]\n"
    "                        [--range MIN MAX] [--significance S] [--background-width W]\n"
    "                        [--format text|json|lat] [--output FILE]\n"
    "       dorvalix-cli index PEAKS [--wavelength L | --xray NAME] [--systems LIST]\n"
    "                        [--lines N] [--tolerance DEG] [--impurities N] [--max-volume V]\n"
    "                        [--weak PCT] [--zero-shift] [--top N] [--time-limit S]\n"
    "                        [--format json|text] [--output FILE]\n"
    "       dorvalix-cli assign PEAKS --cell A B C ALPHA BETA GAMMA --system CODE\n"
    "                        [--lattice P|A|B|C|I|F|R | --space-group SYMBOL] [--tolerance DEG]\n"
    "                        [--wavelength L | --xray NAME] [--format lat|json] [--output FILE]\n";

const char* const kHelpText =
    "       dorvalix-cli [COMMAND] --help | --version\n"
    "\n"
    "refine  refines the lattice constants of the observations in FILE (.lat or SYLK)\n"
    "        exactly as the window's Execute does, and prints the results report.\n"
    "hkl     lists every reflection of a cell down to the minimum d, with d and 2-theta.\n"
    "pattern prints the scans of a diffractometer file (.xy .xrdml .raw .brml .ras .rasx\n"
    "        .gsa .fxye ...) as read: 2-theta and counts, attenuation applied.\n"
    "peaks   finds and fits the peaks of a scan (SNIP background, second-derivative search,\n"
    "        Ka1/Ka2 split pseudo-Voigt fit) and prints 2-theta, s.u., d, FWHM, height and\n"
    "        area, or writes them as a .lat file. A file that states no wavelength needs\n"
    "        --wavelength or --xray (Cu-Ka is the Ka1/Ka2 doublet, Cu-Ka1 one line).\n"
    "index   finds the cell, Bravais lattice and zero shift of an unknown phase from its\n"
    "        peaks (PEAKS: the JSON of dorvalix-cli peaks, 2-theta and intensity columns,\n"
    "        a d list or a .lat file), best candidates first by de Wolff's M(20).\n"
    "        LIST: cubic,tetragonal,hexagonal,rhombohedral,orthorhombic,monoclinic,triclinic.\n"
    "assign  indexes the peaks from a known cell, refines it and writes a .lat file.\n"
    "\n"
    "Crystal system codes: 1 cubic, 2 hexagonal, 3 tetragonal, 4 orthorhombic,\n"
    "5 monoclinic (beta free), 6 triclinic, 7 monoclinic (gamma free), 8 trigonal.\n"
    "Wavelengths from 0.01 to 100 angstrom. --output - is standard output; a device\n"
    "or FIFO is written directly, a file replaced whole. -- ends the options.\n"
    "Exit status: 0 success, 1 the data were refused or no cell was found (message on\n"
    "stderr), 2 wrong usage.\n"
    "See dorvalix-cli(1) for every option.\n";

namespace {

int PrintText(const std::string& text, const char* what, std::ostream& out, std::ostream& err) {
    out << text;
    out.flush();
    if (out) return 0;
    err << "dorvalix-cli: the " << what << " could not be written\n";
    return 1;
}

}  // namespace

int PrintHelp(std::ostream& out, std::ostream& err) {
    return PrintText(std::string(kUsage) + kHelpText, "help", out, err);
}

int PrintVersion(std::ostream& out, std::ostream& err) {
    return PrintText(VersionText("dorvalix-cli"), "version", out, err);
}

bool ParseCount(std::string_view text, int limit, int& value) {
    if (text.empty() || text.size() > 9) return false;
    int v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > limit) return false;
    value = v;
    return true;
}

}  // namespace dorvalix::cli
