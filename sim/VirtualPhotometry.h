#pragma once

#include <cstdint>

// Light and sensor of the virtual camera, in camera grey levels.
struct VirtualPhotometry {
    double black = 22.0;     // projector black on the screen, image centre
    double white = 205.0;    // projector white on the screen, image centre
    double ambient = 8.0;    // room light, everywhere (also off the screen)
    double vignetting = 0.3; // fraction of the light lost at the frame corners (quadratic fall-off)
    double blurSigma = 0.8;  // Gaussian optical blur in camera pixels; 0 for none
    double noiseSigma = 1.5; // Gaussian sensor noise in grey levels; 0 for none
    // Projector hot spot: extra projected light, this fraction at its centre (camera pixels),
    // falling off as a Gaussian of the given radius; 0 for none.
    double hotSpot = 0.0;
    double hotSpotX = 640.0;
    double hotSpotY = 360.0;
    double hotSpotRadius = 300.0;
    double exposure = 1.0;  // the camera's exposure for this frame: every level times this
    std::uint32_t seed = 1; // noise generator seed: the same seed gives the same frame
};
