// A program run by a test, with its standard input, output and error on pipes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

class Subprocess {
public:
    // Starts the program with the arguments; Running() tells whether that worked.
    Subprocess(const std::string& strPath, const std::vector<std::string>& args);
    ~Subprocess();
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;

    bool Running() const { return m_pid > 0 && !m_bExited; }
    void WriteInput(const std::string& text);
    void CloseInput();
    void Signal(int nSignal);
    // Waits for the end and returns the exit status, or -1 after the time-out (the program is killed).
    int Wait(std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
    // Reads standard output until it holds `text` or the time-out passes; true when it does.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

    const std::string& Output() { Drain(); return m_strOut; }
    const std::string& Errors() { Drain(); return m_strErr; }

private:
    void Drain(int nTimeoutMs = 0);

    pid_t m_pid = -1;
    bool m_bExited = false;
    int m_nStatus = -1;
    int m_in = -1;
    int m_out = -1;
    int m_err = -1;
    std::string m_strOut;
    std::string m_strErr;
};
