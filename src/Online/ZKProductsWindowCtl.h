#pragma once

#include "Online/HIMSliderView.h"

#include <QJsonArray>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>

class QCheckBox;
class QDialog;
class QLabel;
class QPushButton;
class UserDefaults;

inline const QString ShowProductsStartUpKey = QStringLiteral("ShowProductsStartUpKey");

// The other-products window: a slide show of our other applications, one
// screenshot per product with its name under it; a click on a slide opens
// that product's page. The product list is the resource ":/products.json"
// (an array of objects with "name", "screenshot" and "appstorelink"; a
// screenshot names an image under ":/products/" or is a resource path).
//
// The opener creates the controller on first use, keeps it, and calls
// showWindow(), which starts the scheduled transitions (every 8 seconds);
// closing the window stops them. Interface thread only.
class ZKProductsWindowCtl : public QObject, public HIMSliderViewDelegate {
    Q_OBJECT

public:
    // `defaults` must outlive the controller; null means the standard store.
    explicit ZKProductsWindowCtl(UserDefaults* defaults = nullptr, QObject* parent = nullptr);
    ~ZKProductsWindowCtl() override;

    // True when "ShowProductsStartUpKey" is absent, else its value.
    static bool showAtLaunch(UserDefaults* defaults = nullptr);

    // The window, built on first use (which also reads the product list).
    QDialog* window();
    // Starts the slide show and brings the window to the front.
    void showWindow();

    // Reloads the list from a JSON file; a file whose top level is not an
    // array leaves the list as it was. The slides are rebuilt either way.
    void reflushProducts(const QString& path);
    QJsonArray products() const;

    void moreAppsDown();
    void viewSiteDown();
    void closeDown();
    void showStateDown();
    void windowWillClose();

    void HIMSliderViewDidClickIndex(HIMSliderView* sliderView, qint64 index) override;
    void HIMSliderViewShowIndex(HIMSliderView* sliderView, qint64 index) override;

    // The window's parts, for the opener and tests.
    HIMSliderView* sliderView() const { return m_sliderView; }
    QPushButton* btnMoreApp() const { return m_btnMoreApp; }
    QCheckBox* btnShowState() const { return m_btnShowState; }
    QLabel* lblTitle() const { return m_lblTitle; }
    QLabel* lblProductName() const { return m_lblProductName; }

private:
    class Window;

    void buildWindow();

    UserDefaults& m_defaults;
    mutable QMutex m_lock;
    QJsonArray m_products;
    QPointer<Window> m_window;
    HIMSliderView* m_sliderView = nullptr;
    QPushButton* m_btnMoreApp = nullptr;
    QCheckBox* m_btnShowState = nullptr;
    QLabel* m_lblTitle = nullptr;
    QLabel* m_lblProductName = nullptr;
};
