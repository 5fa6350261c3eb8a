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

#include <string>

inline bool Has(const std::string &in_sText, const std::string &in_sPiece)
{
    return in_sText.find(in_sPiece) != std::string::npos;
}

/* True when the text is exactly one line that starts with in_sStart. */
inline bool OneLine(const std::string &in_sText, const std::string &in_sStart)
{
    return in_sText.find('\n') == in_sText.size() - 1 &&
           in_sText.compare(0, in_sStart.size(), in_sStart) == 0;
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

    void TearDown() override
    {
        VXQ_F_TESTPROC_Signal(m_tSim.Get(), SIGTERM);
        VXQ_F_TESTPROC_Wait(m_tSim.Get(), 10000);
    }

    std::string SimOutput()
    {
        return VXQ_F_TESTPROC_Output(m_tSim.Get());
    }

    TempDir m_tDir;
    TestChildProcess m_tSim;
};

#endif
