#include "rescue/rescue_options.h"

const char kRescueUsage[] =
    "Usage: vandrel-rescue [--dry-run] [--backup|--no-backup] [--report FILE]\n"
    "                      [--windows PATH] ROOT\n"
    "\n"
    "Removes the W32/Blaster.Worm family from a Windows installation that is not running:\n"
    "ROOT is its system drive, mounted read-write on this Linux system (an NTFS partition\n"
    "mounted with ntfs-3g, say). The installation is seen as drive C:. Its Windows folder\n"
    "(WINDOWS or WINNT, in any letter case, whose SOFTWARE and SYSTEM hives read as sound)\n"
    "is walked, then its Temp folder and each user's temporary folders (Local Settings\\Temp\n"
    "or AppData\\Local\\Temp, and the folders the user's TEMP and TMP name), as Vandrel walks\n"
    "them on Windows: every file is counted and examined, and every worm file is deleted. The\n"
    "users are those its ProfileList names and those its profile folders hold. For each\n"
    "variant found, the worm's start-up values and services are removed from the registry\n"
    "hives: SOFTWARE, SYSTEM (every control set) and DEFAULT of the machine and every user's\n"
    "NTUSER.DAT. Nothing runs offline: there is no memory scan and no restart.\n"
    "\n"
    "Every log line is printed as it is written, the final status last; problems go to\n"
    "standard error, each naming what it concerns. No symbolic link (or junction) is ever\n"
    "followed, so nothing outside ROOT is touched; a worm file is deleted only if it has one\n"
    "name and its name still leads to the file examined. Hives are changed in memory and\n"
    "written at the end, each to a new file beside it that then takes its name; a hive that\n"
    "cannot be read safely is left untouched and named. On Windows 95/98/Me installations\n"
    "the files are cleaned and the registry is not. A name with a twin differing only in\n"
    "letter case (\"windows\" beside \"WINDOWS\", \"ntuser.dat\" beside \"NTUSER.DAT\") is\n"
    "never taken as part of the installation: it is named instead.\n"
    "\n"
    "  --dry-run    change nothing; print what would be deleted and removed, with the\n"
    "               counts a real run would give\n"
    "  --backup     keep each replaced hive as <name>.vandrel-<date> beside it (the default)\n"
    "  --no-backup  keep no copy of the replaced hives\n"
    "  --report FILE\n"
    "               also write the scan's report to FILE as one JSON document, through a\n"
    "               new file beside it that then takes its name\n"
    "  --windows PATH\n"
    "               the installation's Windows folder, relative to ROOT (e.g. WINNT): needed\n"
    "               when more than one folder under ROOT could be it, or to clean one whose\n"
    "               SOFTWARE or SYSTEM hive is damaged (the damaged hive is left as it is)\n"
    "  --help       show this text\n"
    "\n"
    "Exit status (the first that applies, in this order: 3, 2, 5, 4, 1, 0):\n"
    "  3  nothing was done: ROOT is missing, not a Windows installation, holds more than one\n"
    "     (they are listed; choose with --windows), or is mounted read-only (--dry-run runs\n"
    "     on a read-only mount), or the command line is wrong\n"
    "  2  a file could not be deleted, or something was not cleaned: a hive that could not be\n"
    "     opened or written, a profile the installation lists that cannot be reached, a name\n"
    "     with a twin, a Windows 95/98/Me registry, an interrupted run\n"
    "  5  the scan ran, but the --report FILE could not be written\n"
    "  4  not everything in scope was examined: a folder that could not be listed, a file\n"
    "     that could not be opened, a path too long, a link or reparse point (never followed);\n"
    "     each is named on standard error\n"
    "  1  worm found, every identified file deleted and the registry cleaned\n"
    "  0  no worm found, and everything could be examined\n";

bool parseRescueOptions(const std::vector<std::string>& arguments, RescueOptions& options,
                        std::string& problem) {
  options = RescueOptions();
  std::vector<std::string> roots;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument.empty() || argument[0] != '-') {
      roots.push_back(argument);
    } else if (argument == "--") {
      optionsEnded = true;
    } else if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--report") {
      if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
        problem = "--report needs a FILE";
        return false;
      }
      options.reportPath = arguments[++i];
    } else if (argument == "--windows") {
      if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
        problem = "--windows needs a PATH";
        return false;
      }
      options.windowsFolder = arguments[++i];
    } else if (argument == "--dry-run") {
      options.dryRun = true;
    } else if (argument == "--backup") {
      options.keepBackup = true;
    } else if (argument == "--no-backup") {
      options.keepBackup = false;
    } else {
      problem = "unknown option '" + argument + "'";
      return false;
    }
  }
  if (options.help) return true;
  if (roots.size() != 1) {
    problem = roots.empty() ? "no ROOT given" : "more than one ROOT given";
    return false;
  }
  if (roots.front().empty()) {
    problem = "ROOT is empty";
    return false;
  }
  options.root = roots.front();
  return true;
}
