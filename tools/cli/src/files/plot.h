// The editor's engineering pictures as SVG text: the gamma curve and the sync
// timing of a panel file, the curve of a gamma table file, the frequency map
// of a mode file. The geometry is the editor's (tolvane/picture_geometry.h).
#pragma once

#include <string>

#include "files/record_files.h"

namespace cli {

std::string PlotSvg(const RecordFile& file);

}  // namespace cli
