#pragma once
// Where the capture tool reads the demo's data files when --data does not say.
#include <string>

// For the tool the build made, the build folder (MOONLARK_DATA_DIR), where the data files sit
// beside it. Anywhere else the tool is installed, and its data folder was installed with it:
// MOONLARK_INSTALLED_DATA, relative to the tool's own folder, so that an installed tree may be
// moved (a package unpacked elsewhere, an install under another prefix).
std::string default_data_dir();
