#pragma once

#include <csignal>
#include <spawn.h>

// Spawn attributes for a child that starts with no signal blocked and every signal
// at its default, whatever kiv blocks or catches; flags add to that.
class SpawnAttributes
{
public:
    explicit SpawnAttributes(short flags)
    {
        posix_spawnattr_init(&m_attributes);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&m_attributes, &none);
        posix_spawnattr_setsigdefault(&m_attributes, &all);
        posix_spawnattr_setflags(&m_attributes, short(flags | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF));
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&m_attributes); }
    SpawnAttributes(const SpawnAttributes &) = delete;
    SpawnAttributes &operator=(const SpawnAttributes &) = delete;

    posix_spawnattr_t *get() { return &m_attributes; }

private:
    posix_spawnattr_t m_attributes;
};
