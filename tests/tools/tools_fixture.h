/*
 * tools_fixture.h - the simulator as a separate process for the tools'
 * end-to-end tests: written INI, started in the test's folder, up once it
 * says it serves, stopped with SIGTERM at the end.
 */
#ifndef VXQ_TESTS_TOOLS_FIXTURE_H
#define VXQ_TESTS_TOOLS_FIXTURE_H

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

#include <signal.h>

#include <sstream>
#include <string>
#include <vector>

inline bool Has(const std::string &in_sText, const std::string &in_sPiece)
{
    return in_sText.find(in_sPiece) != std::string::npos;
}

/* The lines of a text, without their line ends. */
inline std::vector<std::string> Lines(const std::string &in_sText)
{
    std::vector<std::string> tLines;
    std::istringstream tIn(in_sText);
    for (std::string sLine; std::getline(tIn, sLine);)
        tLines.push_back(sLine);
    return tLines;
}

class SimProcessTest : public ::testing::Test
{
  protected:
    /* Writes sim.ini and starts dps-sim; true once it serves. */
    bool StartSim(const std::string &in_sIni)
    {
        return WriteFile(m_tDir.File("sim.ini"), in_sIni) &&
               VXQ_F_TESTPROC_Start(m_tSim.Get(), VXQ_SIM_EXE, {"--config", m_tDir.File("sim.ini")},
                                    m_tDir.File("sim.txt")) &&
               WaitUntil([&] { return Has(SimOutput(), "dps-sim: serving") || m_tSim.Get()->iPid == 0; },
                         10000) &&
               m_tSim.Get()->iPid != 0;
    }

    /* SIGTERM; the exit status, -1 when it did not end in time. */
    int StopSim()
    {
        VXQ_F_TESTPROC_Signal(m_tSim.Get(), SIGTERM);
        return VXQ_F_TESTPROC_Wait(m_tSim.Get(), 10000) ? m_tSim.Get()->iExitStatus : -1;
    }

    void TearDown() override
    {
        if (m_tSim.Get()->iPid != 0)
            StopSim();
    }

    std::string SimOutput()
    {
        return VXQ_F_TESTPROC_Output(m_tSim.Get());
    }

    TempDir m_tDir;
    TestChildProcess m_tSim;
};

#endif
