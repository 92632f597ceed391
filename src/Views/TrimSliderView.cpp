#include "Views/TrimSliderView.h"

TrimSliderView::TrimSliderView(QWidget* parent)
    : ProgressSliderView(parent)
{
}
