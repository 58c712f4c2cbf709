#include "sim/VirtualCamera.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <random>

namespace {

// The pixels of a grey image as a matrix that borrows them: the image must outlive it.
cv::Mat viewOf(const QImage& grey) {
    return cv::Mat(grey.height(), grey.width(), CV_8UC1, const_cast<uchar*>(grey.constBits()),
                   static_cast<size_t>(grey.bytesPerLine()));
}

} // namespace

VirtualCamera::VirtualCamera(const MappingModel& cameraToScreen, int screenWidth, int screenHeight,
                             int supersampling)
    : cameraModel(cameraToScreen)
    , screenW(std::max(screenWidth, 1))
    , screenH(std::max(screenHeight, 1))
    , samples(std::clamp(supersampling, 1, 4)) {
    const int perPixel = samples * samples;
    lookup.resize(static_cast<size_t>(frameWidth) * frameHeight * static_cast<size_t>(perPixel));
    size_t k = 0;
    for (int y = 0; y < frameHeight; ++y) {
        for (int x = 0; x < frameWidth; ++x) {
            for (int sy = 0; sy < samples; ++sy) {
                const double cy = y + (sy + 0.5) / samples - 0.5;
                for (int sx = 0; sx < samples; ++sx) {
                    const double cx = x + (sx + 0.5) / samples - 0.5;
                    double px = 0.0, py = 0.0;
                    cameraModel.cameraToScreen(cx, cy, px, py);
                    int index = -1;
                    // Screen pixel i is centred at i.
                    const double ix = std::floor(px + 0.5), iy = std::floor(py + 0.5);
                    if (ix >= 0.0 && iy >= 0.0 && ix < screenW && iy < screenH)
                        index = static_cast<int>(iy) * screenW + static_cast<int>(ix);
                    lookup[k++] = index;
                }
            }
        }
    }
}

cv::Mat VirtualCamera::radianceOf(const std::vector<float>& brightness,
                                  const VirtualPhotometry& light) const {
    cv::Mat radiance(frameHeight, frameWidth, CV_32F);
    const double halfW = frameWidth / 2.0, halfH = frameHeight / 2.0;
    const double cornerSq = halfW * halfW + halfH * halfH;
    size_t k = 0;
    for (int y = 0; y < frameHeight; ++y) {
        float* row = radiance.ptr<float>(y);
        const double dy = y - halfH + 0.5;
        for (int x = 0; x < frameWidth; ++x, k += 2) {
            const double dx = x - halfW + 0.5;
            double gain = 1.0 - light.vignetting * (dx * dx + dy * dy) / cornerSq;
            if (light.hotSpot > 0.0) {
                const double hx = x - light.hotSpotX, hy = y - light.hotSpotY;
                const double r2 = light.hotSpotRadius * light.hotSpotRadius;
                gain *= 1.0 + light.hotSpot * std::exp(-(hx * hx + hy * hy) / (2.0 * r2));
            }
            const double level = static_cast<double>(brightness[k]);
            const double lit = static_cast<double>(brightness[k + 1]);
            const double value =
                light.exposure *
                (light.ambient + gain * (lit * light.black + level * (light.white - light.black)));
            row[x] = static_cast<float>(value);
        }
    }
    if (light.blurSigma > 0.0)
        cv::GaussianBlur(radiance, radiance, cv::Size(0, 0), light.blurSigma, light.blurSigma,
                         cv::BORDER_REPLICATE);
    return radiance;
}

cv::Mat VirtualCamera::shade(const std::vector<float>& brightness, const VirtualPhotometry& light) const {
    const cv::Mat radiance = radianceOf(brightness, light);
    cv::Mat frame(frameHeight, frameWidth, CV_8UC1);
    std::mt19937 generator(light.seed);
    std::normal_distribution<float> noise(0.0f, static_cast<float>(light.noiseSigma));
    const bool noisy = light.noiseSigma > 0.0;
    for (int y = 0; y < frameHeight; ++y) {
        const float* in = radiance.ptr<float>(y);
        unsigned char* out = frame.ptr<unsigned char>(y);
        for (int x = 0; x < frameWidth; ++x) {
            const float v = in[x] + (noisy ? noise(generator) : 0.0f);
            out[x] = static_cast<unsigned char>(std::clamp(std::lround(v), 0L, 255L));
        }
    }
    return frame;
}

cv::Mat VirtualCamera::render(const cv::Mat& screen, const VirtualPhotometry& light) const {
    if (screen.type() != CV_8UC1 || screen.cols != screenW || screen.rows != screenH)
        return {};
    return shade(brightnessOf(screen), light);
}

cv::Mat VirtualCamera::renderRadiance(const QImage& screen, const VirtualPhotometry& light) const {
    const QImage grey = screen.convertToFormat(QImage::Format_Grayscale8);
    if (grey.width() != screenW || grey.height() != screenH)
        return {};
    return radianceOf(brightnessOf(viewOf(grey)), light);
}

std::vector<float> VirtualCamera::brightnessOf(const cv::Mat& screen) const {
    const cv::Mat packed = screen.isContinuous() ? screen : screen.clone();
    const unsigned char* pixels = packed.ptr<unsigned char>(0);
    const int perPixel = samples * samples;
    const float toUnit = 1.0f / (255.0f * static_cast<float>(perPixel));
    const float perSample = 1.0f / static_cast<float>(perPixel);
    std::vector<float> brightness(static_cast<size_t>(frameWidth) * frameHeight * 2);
    const int* index = lookup.data();
    for (size_t p = 0; p < static_cast<size_t>(frameWidth) * frameHeight; ++p) {
        int sum = 0;
        int lit = 0;
        for (int s = 0; s < perPixel; ++s, ++index) {
            const int i = *index;
            if (i >= 0) {
                sum += pixels[i];
                ++lit;
            }
        }
        brightness[2 * p] = static_cast<float>(sum) * toUnit;
        brightness[2 * p + 1] = static_cast<float>(lit) * perSample;
    }
    return brightness;
}

cv::Mat VirtualCamera::render(const QImage& screen, const VirtualPhotometry& light) const {
    const QImage grey = screen.convertToFormat(QImage::Format_Grayscale8);
    return render(viewOf(grey), light);
}

cv::Mat VirtualCamera::renderLive(const cv::Mat& screen, const VirtualPhotometry& light) const {
    const cv::Mat full = render(screen, light);
    if (full.empty())
        return full;
    cv::Mat live;
    cv::resize(full, live, cv::Size(frameWidth / 2, frameHeight / 2), 0, 0, cv::INTER_AREA);
    return live;
}

cv::Mat VirtualCamera::renderUniform(int grey, const VirtualPhotometry& light) const {
    const cv::Mat screen(screenH, screenW, CV_8UC1, cv::Scalar(std::clamp(grey, 0, 255)));
    return render(screen, light);
}

bool VirtualCamera::screenToCamera(double screenX, double screenY, double& x, double& y) const {
    return screenToCamera(cameraModel, screenX, screenY, x, y);
}

bool VirtualCamera::screenToCamera(const MappingModel& model, double screenX, double screenY, double& x,
                                   double& y) {
    using M = MappingModel;
    const auto& p = model.p;
    // Projective part: solve [h0 h1 h2; h3 h4 h5; h6 h7 1] (u, v, 1)ᵀ ~ (X, Y, 1)ᵀ.
    const double a = p[M::H0] - screenX * p[M::H6], b = p[M::H1] - screenX * p[M::H7];
    const double c = p[M::H3] - screenY * p[M::H6], d = p[M::H4] - screenY * p[M::H7];
    const double e = screenX - p[M::H2], f = screenY - p[M::H5];
    const double det = a * d - b * c;
    if (std::fabs(det) < 1e-300)
        return false;
    const double u = (e * d - b * f) / det;
    const double v = (a * f - e * c) / det;
    // Radial part: find the camera radius r with r·(1 + k1 r² + k2 r⁴ + k3 r⁶) = undistorted radius.
    const double du = u - p[M::Cx], dv = v - p[M::Cy];
    const double ru = std::sqrt(du * du + dv * dv);
    if (ru == 0.0) {
        x = p[M::Cx];
        y = p[M::Cy];
        return true;
    }
    double r = ru;
    for (int i = 0; i < 60; ++i) {
        const double s = r * r;
        const double g = r * (1.0 + p[M::K1] * s + p[M::K2] * s * s + p[M::K3] * s * s * s) - ru;
        const double slope = 1.0 + 3.0 * p[M::K1] * s + 5.0 * p[M::K2] * s * s + 7.0 * p[M::K3] * s * s * s;
        if (slope <= 0.0)
            return false;
        double next = r - g / slope;
        if (next < 0.0)
            next = r / 2.0;
        if (std::fabs(next - r) < 1e-12 * (1.0 + r)) {
            r = next;
            break;
        }
        r = next;
    }
    x = p[M::Cx] + du * r / ru;
    y = p[M::Cy] + dv * r / ru;
    return std::isfinite(x) && std::isfinite(y);
}
