#!/usr/bin/env python3
"""Plants realistic faults in the sources one at a time and checks that the
test suite fails on each. A fault the suite misses is a hole in the tests.

    tools/plant-faults.py BUILD_DIR [NAME ...]

Each fault is one textual change of one source file. The file is put back
after its run, also when the run is interrupted. A fault whose text is no
longer found is reported as "not planted": move it to the code's new home.
Prints one line per fault and a closing "N passed, N failed" line, where a
caught fault passes.
"""
import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# (name, file, text as it stands, text with the fault)
FAULTS = [
    ("wrong version command byte", "src/link/versionrun.cpp",
     "? protocol::HardwareVersionCommand : protocol::FirmwareVersionCommand",
     "? protocol::FirmwareVersionCommand : protocol::HardwareVersionCommand"),
    ("download's closing 0x00 under mark parity", "src/link/download.cpp",
     "    m_link.setDataSettings();\n    m_link.writeByte(protocol::EndOfAddressPhase);",
     "    m_link.writeByte(protocol::EndOfAddressPhase);"),
    ("the group stops at card 33", "src/link/download.cpp",
     "for (std::size_t i = 0; i < groupFlags.size(); ++i) {",
     "for (std::size_t i = 0; i < 32; ++i) {"),
    ("four attempts at a record instead of five", "src/link/download.h",
     "MaxAttempts = 5;", "MaxAttempts = 4;"),
    ("group flags of an earlier command not cleared", "src/link/updaterun.cpp",
     "    remoteCardSelected.fill(false);\n    if (!manager) {",
     "    if (!manager) {"),
    ("remote reply timeout off by 50 ms", "src/link/link.h",
     "RemoteReplyTimeoutMs = 200;", "RemoteReplyTimeoutMs = 250;"),
    ("no flush before a resend", "src/link/download.cpp",
     "        m_link.port().clearInBuffer();\n        return true;",
     "        return true;"),
    ("the version run goes on past a silent card", "src/link/versionrun.cpp",
     "        if (!m_link.replyReceived)\n            break;\n",
     ""),
    ("a stale answer is taken as the next card's", "src/link/link.cpp",
     "    discardStaleInput();\n    setAddressSettings();\n    replyText.clear();",
     "    setAddressSettings();\n    replyText.clear();"),
    ("a second-list row mapped to the wrong card", "src/app/mainform_cardlists.cpp",
     "return {SecondRemoteList, card - 2 - firstCount};",
     "return {SecondRemoteList, card - 1 - firstCount};"),
    ("a selected second-list row taken for the next card", "src/app/mainform_cardlists.cpp",
     "? m_ui.List1[FirstRemoteList]->listCount() : 0;",
     "? m_ui.List1[FirstRemoteList]->listCount() + 1 : 0;"),
    ("a record cut short", "src/link/download.cpp",
     "line = records.at(i).left(protocol::RecordLength);",
     "line = records.at(i).left(protocol::RecordLength - 1);"),
    ("a click by mouse focus scrolls the list", "src/app/cardlist.cpp",
     "    verticalScrollBar()->setValue(vertical);\n", "    (void)vertical;\n"),
    ("the tool's refused file exits as a switch failure", "src/cli/command.h",
     "FileError = 3;", "FileError = 1;"),
    ("no pacing between reset frames", "src/link/resetrun.cpp",
     "    for (const int card : cards) {\n        m_link.sleepPacing();",
     "    for (const int card : cards) {"),
    # The window stays usable while a reset runs, so a second command can
    # arrive during one.
    ("a reset accepted during an operation", "src/app/mainform_operations.cpp",
     "void MainForm::CheckResetSelection()\n{\n    if (link.operationRunning())\n        return;",
     "void MainForm::CheckResetSelection()\n{"),
    ("Start sends a file whose name does not fit the cards", "src/link/updatepreparation.cpp",
     ": firmware::checkFileName(choice.path, kind);", ": FileOutcome::good();"),
    ("Start goes on after the chosen cards changed", "src/app/mainform_update.cpp",
     " &&\n               m_form.selectedRemoteCards() == m_remoteCards;", ";"),
    ("Open starts among the samples on a serial line", "src/app/mainform_update.cpp",
     "? sampleFolder() : firmwareFolder();", "? sampleFolder() : sampleFolder();"),
    ("Start skips the language question", "src/firmware/language.cpp",
     "Outcome::Question", "Outcome::Same"),
    ("the tool's --yes is ignored", "src/cli/updatecommand.cpp",
     "command.parser().isSet(yes)", "false"),
    ("a wait's own bound is never reached", "src/link/link.cpp",
     "return m_time.nowMicroseconds() >= m_deadlineMicroseconds;", "return false;"),
]


def run(command, cwd, log):
    with open(log, "a") as out:
        return subprocess.call(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT)


def plant(build, fault, log):
    name, relative, before, after = fault
    path = os.path.join(ROOT, relative)
    with open(path) as f:
        original = f.read()
    if original.count(before) < 1:
        return "not planted"
    try:
        with open(path, "w") as f:
            f.write(original.replace(before, after, 1))
        if run(["cmake", "--build", build, "-j2"], ROOT, log) != 0:
            return "caught (build fails)"
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        status = subprocess.call(["ctest", "--stop-on-failure", "-E", "^windows_syntax$"],
                                 cwd=build, env=env, stdout=open(log, "a"),
                                 stderr=subprocess.STDOUT)
        return "caught" if status != 0 else "MISSED"
    finally:
        with open(path, "w") as f:
            f.write(original)


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    build = os.path.abspath(sys.argv[1])
    wanted = sys.argv[2:]
    log = os.path.join(build, "plant-faults.log")
    open(log, "w").close()
    passed = failed = 0
    for fault in FAULTS:
        if wanted and fault[0] not in wanted:
            continue
        started = time.monotonic()
        outcome = plant(build, fault, log)
        print(f"{outcome:22} {time.monotonic() - started:6.0f} s  {fault[0]}", flush=True)
        if outcome.startswith("caught"):
            passed += 1
        else:
            failed += 1
    # Leave the build matching the sources again.
    run(["cmake", "--build", build, "-j2"], ROOT, log)
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
