#include "Preferences/ZKPreferencesWndCtl.h"

#include "Platform/UserDefaults.h"
#include "Preferences/ZKPreferGeneralViewCtl.h"
#include "Preferences/ZKTrustedPathViewCtl.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QEvent>
#include <QFrame>
#include <QKeySequence>
#include <QShortcut>
#include <QStackedWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWidget>

#include <functional>

namespace {

ZKPreferencesWndCtl* g_sharedPreferencesWndCtl = nullptr;

// Every pane is laid out for this width, so the window keeps its width when
// the user moves between panes.
constexpr int kPaneWidth = 720;

QString rgba(QColor color, int alpha)
{
    color.setAlpha(alpha);
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alpha());
}

// Flat toolbar buttons; the shown pane's button carries a soft highlight.
void styleToolbar(QToolBar* toolbar)
{
    const QColor highlight = toolbar->palette().color(QPalette::Highlight);
    const QColor text = toolbar->palette().color(QPalette::WindowText);
    toolbar->setStyleSheet(QStringLiteral("QToolBar { border: none; spacing: 4px; padding: 6px 10px 4px 10px; }"
                                          "QToolButton { border: 1px solid transparent; border-radius: 7px;"
                                          " padding: 4px 8px 3px 8px; min-width: 64px; }"
                                          "QToolButton:hover { background: %1; }"
                                          "QToolButton:checked { background: %2; border-color: %3; }")
                               .arg(rgba(text, 18), rgba(highlight, 40), rgba(highlight, 110)));
}

} // namespace

// The window itself; closing it goes through the controller, which may keep
// it open when the shown pane refuses to commit.
class ZKPreferencesWndCtl::Window : public QWidget {
public:
    explicit Window(std::function<bool()> shouldClose)
        : m_shouldClose(std::move(shouldClose))
    {
    }

    QToolBar* toolbar = nullptr;

protected:
    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::PaletteChange && toolbar)
            styleToolbar(toolbar);
        QWidget::changeEvent(event);
    }

    void closeEvent(QCloseEvent* event) override
    {
        if (m_shouldClose && !m_shouldClose()) {
            event->ignore();
            return;
        }
        event->accept();
    }

private:
    std::function<bool()> m_shouldClose;
};

ZKPreferencesWndCtl::ZKPreferencesWndCtl(UserDefaults* defaults, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults ? *defaults : UserDefaults::standardUserDefaults())
    , m_general(std::make_unique<ZKPreferGeneralViewCtl>(&m_defaults))
    , m_trusted(std::make_unique<ZKTrustedPathViewCtl>(&m_defaults))
{
    m_panes = { m_general.get(), m_trusted.get() };
    buildWindow();
    g_sharedPreferencesWndCtl = this;
}

ZKPreferencesWndCtl::~ZKPreferencesWndCtl()
{
    if (g_sharedPreferencesWndCtl == this)
        g_sharedPreferencesWndCtl = nullptr;
    // The window (and with it the panes' views) goes before the panes.
    m_window.reset();
}

ZKPreferencesWndCtl* ZKPreferencesWndCtl::sharedInstance()
{
    return g_sharedPreferencesWndCtl;
}

QString ZKPreferencesWndCtl::lastPaneKey()
{
    return QStringLiteral("ZKPreferencesLastPaneKey");
}

void ZKPreferencesWndCtl::buildWindow()
{
    m_window = std::make_unique<Window>([this] { return windowShouldClose(); });
    m_window->setObjectName(QStringLiteral("ZKPreferencesWnd"));
    m_window->setWindowTitle(tr("Preferences"));
    m_window->setWindowFlag(Qt::WindowMaximizeButtonHint, false);

    auto* layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_toolbar = new QToolBar(m_window.get());
    m_toolbar->setObjectName(QStringLiteral("preferencesToolbar"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->setIconSize(QSize(32, 32));
    styleToolbar(m_toolbar);
    m_window->toolbar = m_toolbar;
    layout->addWidget(m_toolbar);

    auto* line = new QFrame(m_window.get());
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);

    m_stack = new QStackedWidget(m_window.get());
    layout->addWidget(m_stack);

    m_actionGroup = new QActionGroup(m_window.get());
    m_actionGroup->setExclusive(true);
    for (ZKPreferencePane* pane : m_panes) {
        QAction* action = m_toolbar->addAction(pane->toolbarItemImage(), pane->toolbarItemLabel());
        action->setObjectName(pane->identifier());
        action->setCheckable(true);
        action->setData(pane->identifier());
        m_actionGroup->addAction(action);
        m_actions.push_back(action);
        const QString identifier = pane->identifier();
        connect(action, &QAction::triggered, this, [this, identifier] {
            selectPaneWithIdentifier(identifier);
            // A pane that refused to be left keeps its button checked.
            syncToolbar();
        });
    }

    for (const QKeySequence& keys : { QKeySequence(QKeySequence::Close), QKeySequence(Qt::Key_Escape) }) {
        auto* shortcut = new QShortcut(keys, m_window.get());
        connect(shortcut, &QShortcut::activated, m_window.get(), &QWidget::close);
    }
}

ZKPreferencePane* ZKPreferencesWndCtl::paneWithIdentifier(const QString& identifier) const
{
    for (ZKPreferencePane* pane : m_panes) {
        if (pane->identifier() == identifier)
            return pane;
    }
    return nullptr;
}

bool ZKPreferencesWndCtl::selectPaneWithIdentifier(const QString& identifier)
{
    ZKPreferencePane* pane = paneWithIdentifier(identifier);
    if (!pane)
        return false;
    if (pane == m_selected)
        return true;
    if (m_selected && !m_selected->commitEditing()) {
        syncToolbar();
        return false;
    }

    QWidget* view = pane->view();
    view->setMinimumWidth(kPaneWidth);
    // The stack holds the shown pane only, so the window takes that pane's
    // size; a pane taken out stays a child of the stack, hidden.
    while (m_stack->count() > 0)
        m_stack->removeWidget(m_stack->widget(0));
    m_stack->addWidget(view);
    m_stack->setCurrentWidget(view);
    m_selected = pane;
    syncToolbar();
    m_window->layout()->activate();
    m_window->adjustSize();

    m_defaults.setString(pane->identifier(), lastPaneKey());
    m_defaults.synchronize();
    return true;
}

QString ZKPreferencesWndCtl::selectedPaneIdentifier() const
{
    return m_selected ? m_selected->identifier() : QString();
}

void ZKPreferencesWndCtl::syncToolbar()
{
    for (QAction* action : m_actions)
        action->setChecked(m_selected && action->data().toString() == m_selected->identifier());
}

void ZKPreferencesWndCtl::loadAtLaunch()
{
    const QString trustedID = m_trusted->identifier();
    if (m_defaults.stringForKey(lastPaneKey()) == trustedID) {
        selectPaneWithIdentifier(trustedID);
    } else {
        // Showing Trusted Paths once loads it, and loading it restores the
        // trusted folders before the user can open any file.
        selectPaneWithIdentifier(trustedID);
        selectPaneWithIdentifier(m_general->identifier());
    }
}

void ZKPreferencesWndCtl::loadWindowIfNeeded()
{
    if (m_selected)
        return;
    const QString remembered = m_defaults.stringForKey(lastPaneKey());
    if (!selectPaneWithIdentifier(remembered))
        selectPaneWithIdentifier(m_panes.front()->identifier());
}

void ZKPreferencesWndCtl::showWindow()
{
    loadWindowIfNeeded();
    if (!m_window->isVisible() && m_selected)
        m_selected->viewWillAppear();
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

bool ZKPreferencesWndCtl::closeWindow()
{
    // A window that is not on screen has no pane the user could have edited.
    if (!m_window->isVisible())
        return true;
    return m_window->close();
}

bool ZKPreferencesWndCtl::windowShouldClose()
{
    return !m_selected || m_selected->commitEditing();
}

QWidget* ZKPreferencesWndCtl::window() const
{
    return m_window.get();
}

ZKPreferGeneralViewCtl* ZKPreferencesWndCtl::generalViewCtl() const
{
    return m_general.get();
}

ZKTrustedPathViewCtl* ZKPreferencesWndCtl::trustedPathViewCtl() const
{
    return m_trusted.get();
}

void ZKPreferencesWndCtl::setFolderChooser(const ZKFolderChooser& chooser)
{
    m_general->setFolderChooser(chooser);
    m_trusted->setFolderChooser(chooser);
}
