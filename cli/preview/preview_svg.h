// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/machine_limits.h"
#include "cli/preview/preview_summary.h"

#include <istream>
#include <ostream>
#include <string>

namespace chimex {

struct PreviewOptions {
    MachineLimits limits;       ///< the travel box, and MaxXYSpeed for the keys' speeds
    std::string unit = "units"; ///< the machine's length unit, for the labels
};

/// Draws the part file as an SVG picture: the travel box with the tool path in a top view (X and
/// Y) and a side view (X and Z), each jog in the colour of the key whose note its speed sounds,
/// the start and end marked, a time line of which axis moves when and the pauses, and the extents
/// and running time written out. Reads `part` twice (it must be seekable); the path data waits
/// in scratch files meanwhile, so memory does not grow with the file. Prints the timing warnings
/// and the jogs that leave the travel box to `err`. Throws InputFailure for a part file that is
/// not well-formed, Failure otherwise.
PreviewSummary writePreview(std::istream& part, const std::string& name,
                            const PreviewOptions& options, std::ostream& svg, std::ostream& err);

} // namespace chimex
