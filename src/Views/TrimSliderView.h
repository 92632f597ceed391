#pragma once

#include "Views/ProgressSliderView.h"

// A progress slider under another name; it draws and tracks the same way.
class TrimSliderView : public ProgressSliderView
{
public:
    explicit TrimSliderView(QWidget* parent = nullptr);
};
