// The views a host gives a saver: the full-screen view's limits, the preview
// and the settings panel. saverhost and the web page both read these.
#ifndef SAVERHOST_VIEW_SIZES_H
#define SAVERHOST_VIEW_SIZES_H

#include <cstdint>

#include "base/Size.h"

// The largest full-screen view side a host accepts, in pixels.
constexpr int32_t kMaxViewSide = 16384;
// The view a saver previews on.
constexpr Size kPreviewSize{80, 60};
// The view the saver's settings panel is given.
constexpr Size kSettingsSize{400, 300};

#endif	// SAVERHOST_VIEW_SIZES_H
