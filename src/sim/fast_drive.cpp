#include "sim/fast_drive.h"

namespace tunalyx {

namespace {

LineFaults pacedLine() {
    LineFaults line;
    line.pacing = true;
    return line;
}

}  // namespace

FastDriveUnit::FastDriveUnit(const BlockStore& tune, LayoutFamily family, const FastDrive& drive,
                             UserPrompts& prompts, FileWriter& files)
    : m_drive(drive),
      m_sim(simUnitOf(family), m_clock, pacedLine()),
      m_session(m_sim.port(), m_clock, prompts, drive.link),
      m_run(m_session, m_session, m_clock, files, std::string()) {
    // Who the unit is stays the unit's own: a tune file of another version must not rename it.
    for (std::size_t b = 0; b < tune.size(); ++b)
        if (!tune[b].empty() && !isIdentityBlock(b)) m_sim.ecu().blocks()[b] = tune[b];
    m_sim.ecu().runTunedEngine(drive.engine);
    m_session.maps.GridInit();
}

bool FastDriveUnit::start(const std::string& target) {
    // The item names of the aux set-up; the unit's layout renames items when it is identified.
    m_session.trace.InitTraceItemLookup(m_drive.aux.names);
    if (!m_sim.port().open()) return false;
    m_session.link.wakeUp();
    LiveRunPlan plan;
    plan.include = m_drive.include;
    plan.aux = m_drive.aux;
    plan.target = target;
    plan.continuous = true;
    plan.saveLastPart = true;
    plan.journal = false;
    plan.mostSeconds = m_drive.seconds;
    // The session holds no data to weigh against the unit.
    plan.identify = [this] { return SR20DET_Version(m_session, {.FromPFC = true}); };
    return m_run.start(plan, m_thread);
}

}  // namespace tunalyx
