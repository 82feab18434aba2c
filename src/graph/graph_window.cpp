#include "graph/graph_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "session/session.h"
#include "ui/qt_window_placement.h"

namespace tunalyx {

namespace {

const WindowPlacement kDefaultPlacement{105, 0, 3495, 10395, 0};
constexpr const char* kPlacementName = "Graph";

}  // namespace

GraphWindow::GraphWindow(Session& session, SettingsStore& store, QWidget* parent)
    : QWidget(parent, Qt::Window), m_session(session), m_store(store) {
    setObjectName(QStringLiteral("frmGraph"));
    setWindowTitle(tr("3D View"));

    // The map choice goes beside the surface: the window is wide and low, and every pixel of
    // its height makes the surface and its labels larger.
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    m_plot = new SurfacePlotWidget(this);
    m_plot->setObjectName(QStringLiteral("Chart"));
    m_plot->setMinimumSize(200, 120);
    layout->addWidget(m_plot, 1);

    m_combo = new QComboBox(this);
    m_combo->setObjectName(QStringLiteral("Combo1"));
    m_combo->addItems({QStringLiteral("INJ"), QStringLiteral("IGN")});
    // Activated, not index-changed: choosing the same map again picks up the latest edits.
    connect(m_combo, &QComboBox::activated, this, &GraphWindow::Combo1_Click);
    auto* side = new QVBoxLayout;
    side->addWidget(m_combo);
    side->addStretch(1);
    layout->addLayout(side);

    // Form_Load
    applyPlacement(*this, loadWindowPlacement(m_store, kPlacementName, kDefaultPlacement));
    Combo1_Click(0);
}

void GraphWindow::Combo1_Click(int index) {
    if (index < 0 || index >= static_cast<int>(kGraphMaps.size())) return;
    if (m_combo->currentIndex() != index) {
        const QSignalBlocker quiet(m_combo);
        m_combo->setCurrentIndex(index);
    }
    m_values = graphValues(m_session, kGraphMaps[static_cast<std::size_t>(index)]);
    m_plot->setValues(m_values);
}

void GraphWindow::closeEvent(QCloseEvent* event) {
    // Form_Unload
    saveWindowPlacement(m_store, kPlacementName, placementOf(*this));
    QWidget::closeEvent(event);
    emit closed();
}

}  // namespace tunalyx
