#include "graph/graph_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QVBoxLayout>
#include <QtDataVisualization/Q3DCamera>
#include <QtDataVisualization/Q3DScene>
#include <QtDataVisualization/Q3DSurface>
#include <QtDataVisualization/Q3DTheme>
#include <QtDataVisualization/QSurface3DSeries>
#include <QtDataVisualization/QSurfaceDataProxy>
#include <QtDataVisualization/QValue3DAxis>

#include "session/session.h"
#include "ui/qt_window_placement.h"

namespace tunalyx {

namespace {

const WindowPlacement kDefaultPlacement{105, 0, 3495, 10395, 0};
constexpr int kLabelPointSize = 80;
constexpr float kZoomPercent = 100;
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
    if (openGlAvailable()) {
        m_surface = new Q3DSurface;
        m_series = new QSurface3DSeries;
        m_surface->addSeries(m_series);
        setUpReadableAxes(*m_surface);
        // The container owns the surface window from here on.
        QWidget* container = QWidget::createWindowContainer(m_surface, this);
        container->setObjectName(QStringLiteral("Chart"));
        container->setMinimumSize(200, 120);
        layout->addWidget(container, 1);
    } else {
        auto* notice =
            new QLabel(tr("The 3D view needs OpenGL, which is not available here."), this);
        notice->setObjectName(QStringLiteral("lblNoOpenGL"));
        notice->setAlignment(Qt::AlignCenter);
        notice->setWordWrap(true);
        layout->addWidget(notice, 1);
    }

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

void GraphWindow::setUpReadableAxes(Q3DSurface& surface) {
    // The window is wide and low: the default view leaves the surface small and its labels too
    // fine to read. Fewer labels in bold, turned to the viewer, the axes named after the map's,
    // and a flatter surface seen from lower down, which uses the width.
    QFont labels = surface.activeTheme()->font();
    labels.setPointSize(kLabelPointSize);
    labels.setBold(true);
    surface.activeTheme()->setFont(labels);
    surface.setShadowQuality(QAbstract3DGraph::ShadowQualityNone);
    const auto name = [](QValue3DAxis* axis, const QString& title, int segments) {
        axis->setTitle(title);
        axis->setTitleVisible(true);
        axis->setTitleFixed(false);
        axis->setSegmentCount(segments);
        axis->setLabelFormat(QStringLiteral("%d"));
    };
    name(surface.axisX(), tr("Speed N"), 4);
    name(surface.axisZ(), tr("Load P"), 4);
    surface.axisY()->setSegmentCount(3);
    // Labels turned towards the viewer, not lying in the tilted planes of the axes.
    for (QAbstract3DAxis* axis : {static_cast<QAbstract3DAxis*>(surface.axisX()),
                                  static_cast<QAbstract3DAxis*>(surface.axisY()),
                                  static_cast<QAbstract3DAxis*>(surface.axisZ())})
        axis->setLabelAutoRotation(90);
    surface.setAspectRatio(3.0);
    surface.setHorizontalAspectRatio(1.2);
    Q3DCamera* camera = surface.scene()->activeCamera();
    camera->setCameraPosition(-40, 18, kZoomPercent);
    camera->setTarget(QVector3D(0, -0.65F, 0));  // the front labels kept inside the window
}

bool GraphWindow::openGlAvailable() {
    // The offscreen and minimal platforms have no window a surface could render into.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return false;
    QOpenGLContext context;
    if (!context.create()) return false;
    QOffscreenSurface probe;
    probe.setFormat(context.format());
    probe.create();
    if (!probe.isValid() || !context.makeCurrent(&probe)) return false;
    context.doneCurrent();
    return true;
}

void GraphWindow::Combo1_Click(int index) {
    if (index < 0 || index >= static_cast<int>(kGraphMaps.size())) return;
    if (m_combo->currentIndex() != index) {
        const QSignalBlocker quiet(m_combo);
        m_combo->setCurrentIndex(index);
    }
    m_values = graphValues(m_session, kGraphMaps[static_cast<std::size_t>(index)]);
    showValues();
}

void GraphWindow::showValues() {
    if (!m_series) return;
    // Rows run along z (load), columns along x (speed), the value is the height.
    auto* rows = new QSurfaceDataArray;
    rows->reserve(kMapRows);
    for (int i = 0; i < kMapRows; ++i) {
        auto* row = new QSurfaceDataRow(kMapCols);
        for (int j = 0; j < kMapCols; ++j)
            (*row)[j].setPosition(
                QVector3D(static_cast<float>(j + 1),
                          m_values[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)],
                          static_cast<float>(i + 1)));
        rows->append(row);
    }
    m_series->dataProxy()->resetArray(rows);
}

void GraphWindow::closeEvent(QCloseEvent* event) {
    // Form_Unload
    saveWindowPlacement(m_store, kPlacementName, placementOf(*this));
    QWidget::closeEvent(event);
    emit closed();
}

}  // namespace tunalyx
