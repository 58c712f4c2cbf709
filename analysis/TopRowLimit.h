#pragma once

// The camera row the module's tracking limit is set from: the largest row with a pixel that a
// fitted model maps into the top 30 % of the screen.
class TopRowLimit {
public:
    // params: the 13 model parameters. -1 when no pixel maps there.
    static int of(const double* params, int screenWidth, int screenHeight);
};
