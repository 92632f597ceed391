#pragma once

#include <cstdint>

// Conversion state of an item.
enum eumCvtState : int32_t {
    CvtStateWaiting = 0,
    CvtStateConverting = 1,
    CvtStateSyncing = 2,
    CvtStatePaused = 3,
    CvtStateCanceled = 4,
    CvtStateFinished = 5,
    CvtStateFailed = 6,
};

// Kind of output: the catalogue's "formattype". Only audio (4) and 0 change behaviour.
enum eumDestFmtType : int32_t {
    DestFmtTypeVideo = 0,
    DestFmtTypeAudio = 4,
};

enum eumCropType : int32_t {
    CropTypeNone = 0,
    CropType4x3 = 1,
    CropType16x9 = 2,
    CropTypeFree = 3,
};

enum waterMarkType : int64_t {
    WaterMarkTypeText = 0,
    WaterMarkTypeImage = 1,
};

enum wmItemPosition : int64_t {
    WMPositionTopLeft = 0,
    WMPositionTopRight = 1,
    WMPositionCenter = 2,
    WMPositionBottomLeft = 3,
    WMPositionBottomRight = 4,
};

enum aspectOption : int32_t {
    AspectOptionSource = 0,
    AspectOptionOutputSize = 1,
    AspectOption16x9 = 2,
    AspectOption4x3 = 3,
};
