#pragma once

#include "RAZedIruvIvizor/ZKAVURLAsset.h"

#include <QRect>
#include <QRectF>
#include <QSizeF>

#include <cstdint>
#include <functional>

class PlayerViewCropDelegate;
class QWidget;

// What the player wrapper needs from the crop overlay that lies over its
// view in the edit window. The crop tool's view implements it; the wrapper
// creates it through LSMediaPlayer::setCropViewFactory.
class P_ZKCropVideoView
{
public:
    virtual ~P_ZKCropVideoView() = default;

    // The overlay itself (a child of the player view, which owns it).
    virtual QWidget* cropWidget() = 0;
    virtual void setPlayerMode(int32_t mode) = 0;
    virtual void setCropMode(int32_t type) = 0;
    virtual void setCropModeNoFit(int32_t type) = 0;
    // Frame pixels, origin at the bottom-left.
    virtual void setCropRect(const QRectF& rect) = 0;
    virtual void setCropDelegate(PlayerViewCropDelegate* delegate) = 0;
};

// Makes an overlay over parent with the frame, for a video of videoSize
// stored pixels shown at the display aspect ratio.
using ZKCropVideoViewFactory = std::function<P_ZKCropVideoView*(QWidget* parent, const QRect& frame,
                                                                const QSizeF& videoSize, ZKAVRational ratio)>;
