#include "tests/tools/Subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

Subprocess::Subprocess(const std::string& strPath, const std::vector<std::string>& args)
{
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(strPath.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    if (::posix_spawn(&m_pid, strPath.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    m_in = in[1];
    m_out = out[0];
    m_err = err[0];
    ::fcntl(m_out, F_SETFL, O_NONBLOCK);
    ::fcntl(m_err, F_SETFL, O_NONBLOCK);
}

Subprocess::~Subprocess()
{
    if (Running()) {
        ::kill(m_pid, SIGKILL);
        Wait();
    }
    for (int fd : {m_in, m_out, m_err})
        if (fd >= 0)
            ::close(fd);
}

void Subprocess::WriteInput(const std::string& text)
{
    if (m_in >= 0)
        [[maybe_unused]] const ssize_t n = ::write(m_in, text.data(), text.size());
}

void Subprocess::CloseInput()
{
    if (m_in >= 0)
        ::close(m_in);
    m_in = -1;
}

void Subprocess::Signal(int nSignal)
{
    if (Running())
        ::kill(m_pid, nSignal);
}

int Subprocess::Wait(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Running()) {
        Drain(10);
        int nStatus = 0;
        if (::waitpid(m_pid, &nStatus, WNOHANG) == m_pid) {
            m_bExited = true;
            m_nStatus = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_bExited = true;
            return -1;
        }
    }
    Drain();
    return m_nStatus;
}

bool Subprocess::WaitForOutput(const std::string& text, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_strOut.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        Drain(10);
    }
    return true;
}

void Subprocess::Drain(int nTimeoutMs)
{
    pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
    if (::poll(fds, 2, nTimeoutMs) <= 0)
        return;
    char buffer[65536];
    for (auto [fd, pText] : {std::pair{m_out, &m_strOut}, std::pair{m_err, &m_strErr}}) {
        ssize_t n;
        while (fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0)
            pText->append(buffer, static_cast<std::size_t>(n));
    }
}
