// The panel's layout: the top band with the format menu, the video and audio
// boxes, and the bottom band with the source's own properties.
#include "Views/ZKFmtSettingsViewCtl.h"

#include "Views/ZKFmtSettingsViewCtl+Menu.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// A band behind a row of controls: black at opacity 0.1, with hairline edges
// (the grid colour, or black at opacity 0.1), readable in light and dark palettes.
class ZKStyleBandView : public QWidget {
public:
    enum Edge { TopEdgeShade = 1, BottomEdgeGrid = 2 };

    ZKStyleBandView(int edges, QWidget* parent)
        : QWidget(parent)
        , m_edges(edges)
    {
        setAttribute(Qt::WA_StyledBackground, false);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QRect r = rect();
        p.fillRect(r, QColor::fromRgbF(0, 0, 0, 0.1));
        if (m_edges & TopEdgeShade)
            p.fillRect(QRect(r.left(), r.top(), r.width(), 1), QColor::fromRgbF(0, 0, 0, 0.1));
        if (m_edges & BottomEdgeGrid)
            p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), palette().color(QPalette::Mid));
    }

private:
    int m_edges;
};

QComboBox* makeList(const QString& name, QWidget* parent)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->setEditable(true);
    // Typed values stay texts of the control; they never join the list.
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setCompleter(nullptr);
    list->setMinimumContentsLength(9);
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return list;
}

// A control with its unit after it. Every row of a box gets the unit column
// (empty where there is no unit), so that the controls line up.
QWidget* withUnit(QWidget* control, const QString& unit, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(control, 1);
    auto* label = new QLabel(unit, row);
    label->setFixedWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("kbps")) + 2);
    layout->addWidget(label);
    return row;
}

// The "more information" glyph: a ringed "i" in the text colour.
QIcon infoIcon(const QPalette& palette, qreal dpr)
{
    const int side = 16;
    QPixmap pixmap(QSize(side, side) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QColor ink = palette.color(QPalette::WindowText);
    ink.setAlphaF(0.75);
    p.setPen(QPen(ink, 1.3));
    p.drawEllipse(QRectF(1.5, 1.5, side - 3, side - 3));
    p.setBrush(ink);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(side / 2.0 - 1.1, 4.0, 2.2, 2.2));
    p.drawRoundedRect(QRectF(side / 2.0 - 1.0, 7.0, 2.0, 5.5), 0.8, 0.8);
    return QIcon(pixmap);
}

QFormLayout* makeForm(QWidget* box)
{
    auto* form = new QFormLayout(box);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setHorizontalSpacing(8);
    form->setVerticalSpacing(6);
    form->setContentsMargins(10, 8, 10, 10);
    return form;
}

} // namespace

void ZKFmtSettingsViewCtl::buildLayout()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // Top band: the format menu.
    topStyleView = new ZKStyleBandView(ZKStyleBandView::BottomEdgeGrid, this);
    topStyleView->setObjectName(QStringLiteral("topStyleView"));
    auto* top = new QHBoxLayout(topStyleView);
    top->setContentsMargins(12, 8, 12, 8);
    top->setSpacing(8);
    auto* fmtLabel = new QLabel(tr("Format:"), topStyleView);
    pBtnFormat = new QComboBox(topStyleView);
    pBtnFormat->setObjectName(QStringLiteral("pBtnFormat"));
    m_fmtMenuModel = new QStandardItemModel(pBtnFormat);
    pBtnFormat->setModel(m_fmtMenuModel);
    pBtnFormat->setItemDelegate(new FmtMenu::Delegate(pBtnFormat));
    pBtnFormat->setIconSize(QSize(28, 20));
    pBtnFormat->setMaxVisibleItems(14);
    pBtnFormat->setMinimumContentsLength(22);
    pBtnFormat->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    pBtnFormat->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    fmtLabel->setBuddy(pBtnFormat);
    btnMoreInfo = new QToolButton(topStyleView);
    btnMoreInfo->setObjectName(QStringLiteral("btnMoreInfo"));
    refreshInfoIcon();
    btnMoreInfo->setIconSize(QSize(16, 16));
    // The sheet shows no information window.
    btnMoreInfo->setVisible(m_presentation == Presentation::Embedded);
    btnMoreInfo->setAutoRaise(true);
    btnMoreInfo->setToolTip(tr("Media Information"));
    top->addWidget(fmtLabel);
    top->addWidget(pBtnFormat, 1);
    top->addWidget(btnMoreInfo);
    root->addWidget(topStyleView);

    // The settings: video and audio side by side.
    boxFmts = new QWidget(this);
    boxFmts->setObjectName(QStringLiteral("boxFmts"));
    auto* boxes = new QHBoxLayout(boxFmts);
    boxes->setContentsMargins(12, 10, 12, 10);
    boxes->setSpacing(12);

    boxVideo = new QGroupBox(tr("Video"), boxFmts);
    boxVideo->setObjectName(QStringLiteral("boxVideo"));
    QFormLayout* video = makeForm(boxVideo);
    pCombVCodec = makeList(QStringLiteral("pCombVCodec"), boxVideo);
    pCombResolution = makeList(QStringLiteral("pCombResolution"), boxVideo);
    pCombResolution->setToolTip(tr("Width and height, like 640*480"));
    pCombFps = makeList(QStringLiteral("pCombFps"), boxVideo);
    pCombVBitrate = makeList(QStringLiteral("pCombVBitrate"), boxVideo);
    radioSameQuality = new QRadioButton(tr("Same as source"), boxVideo);
    radioSameQuality->setObjectName(QStringLiteral("radioSameQuality"));
    radioBitrate = new QRadioButton(boxVideo);
    radioBitrate->setObjectName(QStringLiteral("radioBitrate"));
    radioBitrate->setAccessibleName(tr("Chosen bit rate"));
    mtrxBitrate = new QButtonGroup(this);
    mtrxBitrate->addButton(radioSameQuality, 0);
    mtrxBitrate->addButton(radioBitrate, 1);
    radioSameQuality->setChecked(true);
    auto* rateRow = new QWidget(boxVideo);
    auto* rateLayout = new QHBoxLayout(rateRow);
    rateLayout->setContentsMargins(0, 0, 0, 0);
    rateLayout->setSpacing(4);
    rateLayout->addWidget(radioBitrate);
    rateLayout->addWidget(withUnit(pCombVBitrate, tr("kbps"), rateRow), 1);
    pBtnAspect = new QComboBox(boxVideo);
    pBtnAspect->setObjectName(QStringLiteral("pBtnAspect"));
    // The entry index is the item's aspect option.
    pBtnAspect->addItems({ tr("Keep source"), tr("Fit output size"), tr("16:9"), tr("4:3") });
    video->addRow(tr("Codec:"), withUnit(pCombVCodec, QString(), boxVideo));
    video->addRow(tr("Resolution:"), withUnit(pCombResolution, QString(), boxVideo));
    video->addRow(tr("Frame rate:"), withUnit(pCombFps, tr("fps"), boxVideo));
    video->addRow(tr("Bit rate:"), radioSameQuality);
    video->addRow(QString(), rateRow);
    video->addRow(tr("Aspect:"), withUnit(pBtnAspect, QString(), boxVideo));

    boxAudio = new QGroupBox(tr("Audio"), boxFmts);
    boxAudio->setObjectName(QStringLiteral("boxAudio"));
    QFormLayout* audio = makeForm(boxAudio);
    pCombACodec = makeList(QStringLiteral("pCombACodec"), boxAudio);
    pCombSamplerate = makeList(QStringLiteral("pCombSamplerate"), boxAudio);
    pCombABitrate = makeList(QStringLiteral("pCombABitrate"), boxAudio);
    audio->addRow(tr("Codec:"), withUnit(pCombACodec, QString(), boxAudio));
    audio->addRow(tr("Sample rate:"), withUnit(pCombSamplerate, tr("Hz"), boxAudio));
    audio->addRow(tr("Bit rate:"), withUnit(pCombABitrate, tr("kbps"), boxAudio));

    boxes->addWidget(boxVideo, 1, Qt::AlignTop);
    boxes->addWidget(boxAudio, 1, Qt::AlignTop);
    root->addWidget(boxFmts, 1);

    // Bottom band: what the source file holds.
    bottomStyleView = new ZKStyleBandView(ZKStyleBandView::TopEdgeShade | ZKStyleBandView::BottomEdgeGrid, this);
    bottomStyleView->setObjectName(QStringLiteral("bottomStyleView"));
    auto* bottom = new QVBoxLayout(bottomStyleView);
    bottom->setContentsMargins(12, 6, 12, 6);
    bottom->setSpacing(2);
    lblOrigenVideoInfo = new QLabel(bottomStyleView);
    lblOrigenVideoInfo->setObjectName(QStringLiteral("lblOrigenVideoInfo"));
    lblOrigenAudioInfo = new QLabel(bottomStyleView);
    lblOrigenAudioInfo->setObjectName(QStringLiteral("lblOrigenAudioInfo"));
    for (QLabel* label : { lblOrigenVideoInfo, lblOrigenAudioInfo }) {
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * 0.92);
        label->setFont(font);
        bottom->addWidget(label);
    }
    lblOrigenVideoInfo->setText(tr("Video Info"));
    lblOrigenAudioInfo->setText(tr("Audio Info"));
    root->addWidget(bottomStyleView);
}

void ZKFmtSettingsViewCtl::refreshInfoIcon()
{
    btnMoreInfo->setIcon(infoIcon(palette(), devicePixelRatioF()));
}

void ZKFmtSettingsViewCtl::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && btnMoreInfo)
        refreshInfoIcon();
}
