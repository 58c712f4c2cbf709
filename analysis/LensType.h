#pragma once

// Lens-type value shared by the settings window, the calibration window, the analysis and the
// record: 0 none chosen, 1 to 4 the known types (3 is ultra short throw). Device-reported values
// may be anything, so it stays a plain int.
using eLens = int;
