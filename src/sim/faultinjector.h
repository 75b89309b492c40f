#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <random>

namespace quorlink::sim {

// The kinds of trouble the simulated switch can be given at random.
enum class Fault
{
    Noise,                // random bytes among a reply, or in a record (refused)
    DroppedByte,          // one byte of a reply lost
    DuplicatedByte,       // one byte of a reply received twice
    SplitReply,           // a reply pauses at a random point
    LateReply,            // a reply leaves only after the PC has stopped waiting
    AnswerForAnother,     // another card answers a version query, a reset or a download
    FalseAcknowledgement, // a card acknowledges a record it did not store
    DeviceVanished,       // the serial device goes away at a byte the PC writes
};
inline constexpr int FaultKindCount = 8;

// Decides, from one seeded random sequence, when a fault strikes, and counts
// each kind, so that a run can be replayed from its seed and can tell how
// much trouble it met. A kind with no chance set never strikes and draws no
// number, so switches without faults behave exactly as before.
class FaultInjector
{
public:
    explicit FaultInjector(std::uint32_t seed = 0) : m_random(seed) {}

    // The chance (0 to 1) that a fault strikes at each opportunity: per reply
    // for the line faults (and per record for noise), per query, reset or
    // download for an answer from another card, per acknowledged record, per
    // byte the PC writes for a vanishing device.
    void setChance(Fault fault, double chance) { m_chances[index(fault)] = chance; }
    double chance(Fault fault) const { return m_chances[index(fault)]; }
    void clearChances() { m_chances.fill(0.0); }

    // Whether the fault strikes now; counted when it does.
    bool strikes(Fault fault);
    // A number from `low` to `high`, both included.
    int between(int low, int high);

    int count(Fault fault) const { return m_counts[index(fault)]; }
    int totalCount() const;

    // What a vanishing device does (a test unplugs its port).
    void setVanishHandler(std::function<void()> handler) { m_vanish = std::move(handler); }
    void vanish() const;

    static QString name(Fault fault);
    // "noise 3, late reply 1" for the kinds that struck, in kind order.
    QString summary() const;

private:
    static std::size_t index(Fault fault) { return static_cast<std::size_t>(fault); }

    std::mt19937 m_random;
    std::array<double, FaultKindCount> m_chances{};
    std::array<int, FaultKindCount> m_counts{};
    std::function<void()> m_vanish;
};

} // namespace quorlink::sim
