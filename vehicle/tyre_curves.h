#pragma once

// Builds the four tyre force curves (firm and loose surfaces, longitudinal
// and lateral) that the tyre model reads; once at start-up.
void BuildTyreCurves();
