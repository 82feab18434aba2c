#include "cli/cli_commands.h"

namespace tunalyx::cli {

namespace {

// Kept as the user reads it: one line of text a line of source.
constexpr const char* kUsage = R"(usage: tunalyx-cli <command> [options]
  identify --port DEV        program name, version text, version key and layout family
  read-all --port DEV --out FILE.dat
                             reads every block of the unit into a data file
  write-all --port DEV FILE.dat [--no-verify] [--accept-risk]
                             writes a data file to the unit
  update --port DEV --base OLD.dat FILE.dat [--no-verify] [--accept-risk]
                             sends what FILE.dat changes against OLD.dat, the tune
                             the unit holds
                             (both read every block written back and fail when the
                             unit did not keep it; --no-verify trusts its answer;
                             what is riskier than the tune the unit holds, for
                             write-all the history's last of it or else a read, is
                             held back with exit 1 unless --accept-risk is given)
  convert --to 1.70|3|5|T2-D IN.dat OUT.dat
                             converts a data file to another layout family
  show FILE.dat              prints every setting, curve and map of a data file
  diff A.dat B.dat [--maps]  what differs in B.dat against A.dat, B converted to A's
                             layout first: 'setting', 'notes' and 'cell' lines,
                             TAB separated (--maps: differing maps as tables);
                             exit status 0 same, 1 different, 2 trouble
  log --port DEV [--groups basic,sensors,aux,map,advanced]
      (--samples N | --seconds S) --out LOG.txt [--yes]
                             polls live data like the monitor (default group:
                             advanced) and saves the log; past 32767 samples it goes
                             on in LOG-001.txt, LOG-002.txt, ... without a pause.
                             Ctrl+C, SIGTERM or a closed terminal ends it early.
                             The samples go to a journal in the Logs folder as they
                             come (at least once a second) until the log is saved.
                             A run lasts at most 2000000 s. It does not start when
                             its files are there already (--yes replaces them),
                             another run writes them (LOG.txt.lock) or the disk
                             has too little room for them
  recover [--out LOG.txt]    writes the newest journal of a log that was never saved
                             (the program was killed, the power failed) as a log
                             file; exit 1 when there is none
  export-csv LOG.txt OUT.csv [--math "NAME=EXPR" ...]
                             a log file as CSV: item names, time in seconds, then a
                             column for each math item (Rpm[-1], Boost@-0.5s, smooth(X, 0.5s))
  mapwatch LOG.txt --tune T.dat [--item NAME|N] [--stat min|max|avg|num]
      [--holdoff MS] [--maxval V] [--source advanced|logged] [--dp N] [--log-tune T0.dat]
                             the map watch grid of a log, the axes from the tune
  scan --port DEV --out FILE.dat
                             reads all 256 command bytes of any unit into a data file
  drive --tune T.dat [--drive NAME] --seconds S --out LOG.txt [--yes]
      [--groups G,...] [--seed N] [--requirement R] [--dump-requirement F.txt]
      [--knock-limit K] [--knock-spikes N] [--dump-knock-limit F.txt]
      [--cold-start C] [--sensor-delay-scale S]
                             drives the engine that answers the tune in fast time
                             and saves the log logging it at 57600 baud would give
                             (default groups advanced,aux; past 32767 samples it goes
                             on in LOG-001.txt, LOG-002.txt, ...; the files are
                             checked as for log, and linked to the tune in the
                             history). Drives: idle, city, highway, pulls, mixed
                             (the default). R: pattern (the
                             default, from the seed), correct, uniform=P (the default
                             tune P % lean everywhere). --dump-requirement writes the
                             engine's hidden fuel requirement as a 20 x 20 map.
                             K: pattern (the default, from the seed: the default
                             Ign Map knocks in a few boost cells), uniform=DEG (the
                             limit DEG degrees over the default Ign Map everywhere,
                             negative under), none (never knocks). N: one knock
                             sensor spike in N readings (default 2000, 0 for none).
                             --dump-knock-limit writes the hidden knock limit (degrees
                             at 14.7 A/F and 30 C intake air) as a 20 x 20 map.
                             C and S as for simulate
  autotune --tune T.dat --log L.txt [--log L2.txt]... [--target T.afr]
      [--max-change P] [--min-samples N] [--log-tune T0.dat]
      [--curves map,warmup,accel] [--predict] --out T2.dat
                             proposes Inj Map (map, the default) and curve corrections
                             from the wide-band A/F (AN1) of the logs: the sensor
                             delay measured from them first (stderr); a line per
                             changed cell (N, P, old, new, %, samples), then the
                             readings left out and why, then the cells to drive
                             next; warmup (Water Temp Correction, Corr 1) and accel
                             (Accelerate Injector, Accel A): a line per changed point
                             (old, new, %, cold starts or tip-ins), a summary and
                             what was left out. --predict also writes the cells no
                             log measured that their neighbours predict with a
                             confidence of 0.5 or more. Each reading against the tune
                             its log ran on (--log-tune, else the history's, else
                             T.dat, said so); exit 1 when nothing could be proposed
  knock --tune T.dat --log L.txt [--log L2.txt]... [--log-tune T0.dat]
      [--max-retard D] --out T2.dat
                             finds knock events in the logs per Ign Map cell and
                             retards each cell 1 degree per event beyond the first,
                             at most D (default 3): a line per retarded cell (N, P,
                             old, new, events), then the cells only watched, lean
                             knock and the tunes the logs ran on; exit 1 when
                             nothing needs retard
  simulate [--family 1.70|3|5|T2-D] [--baud-pacing] [--fault F]...
      [--dump-on-exit FILE.dat]
      [--engine [--drive NAME] [--seed N] [--requirement R] [--dump-requirement F]
                [--knock-limit K] [--knock-spikes N] [--dump-knock-limit F]
                [--cold-start C] [--sensor-delay-scale S]]
                             serves a simulated engine computer on a new pseudo-terminal;
                             prints its path, runs until killed. Faults: refuse=BLOCK[:R],
                             drop=N, corrupt=N (N-th request), noise=BYTES, delay=MS,
                             stray=BYTE (ahead of every reply), pull=N (the cable
                             comes out after N requests), misstore=BLOCK[:BYTE] (the
                             unit keeps that byte, 1 unless named, one higher than
                             written);
                             --dump-on-exit writes the unit's blocks to a data file
                             when it is stopped (Ctrl+C, SIGTERM); --cold-start is the
                             coolant at the start (-30 to 80 C, 20 unless given),
                             --sensor-delay-scale times the wide-band sensor's delay
                             (0.25 to 4, 1 unless given)
  history [list | show ID | export ID OUT.dat | diff ID ID [--maps]]
                             the tunes kept by every read, write, open and save of
                             the window and of read-all, write-all and update: list
                             (newest first: ID, time, action, file, version, hash,
                             logs), one tune and its logs, a tune as a data file, or
                             the newer of two tunes against the older as diff compares
                             files, cells named by their P and N rows and columns
                             (same exit status). Damaged index lines are named on
                             stderr; list then exits 1
  version, --version         prints the program's version
The Logs and History folders are those of the window program; the environment
variable TUNALYX_FILES_FOLDER names another folder to keep them in.
--yes answers Yes to the questions the operations ask (otherwise No).
DEV is a device path (/dev/ttyUSB0, /dev/pts/7) or COMn.
Exit status: 0 success, 1 the operation failed, 2 bad usage.
)";

}  // namespace

const char* usageText() {
    return kUsage;
}

}  // namespace tunalyx::cli
