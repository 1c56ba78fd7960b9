// Forward-secure sealing of the secure logs: time is cut into epochs; each
// epoch has its own key, the next derived one way from it, and the machine
// keeps only the current one. When an epoch ends every log gets a seal record
// made with that epoch's key, then the key moves on and the old one is
// overwritten. Someone who later holds the machine (and its current key)
// cannot make a seal of an earlier epoch, so the sealed part of every log is
// proven with the verification key: the epoch-0 seed, printed once by
// "hearthctl securelog setup-keys" and never stored on the machine.
//
//   seed  (the verification key, kept by the administrator)
//   K0 = HMAC(seed, "hearth secure log seal epoch 0")
//   K(n+1) = HMAC(Kn, "hearth secure log seal next epoch")
//   sealing key of epoch n = HMAC(Kn, "hearth secure log seal")
//   seal MAC = HMAC(sealing key, "hearth secure log seal" NUL name NUL nonce
//                   epoch next entries chain previous-seal-MAC)
//
// The sealing state "<root>/keys/securelog.seal" (0600) is one fixed-size
// text, overwritten in place when the key moves on:
//   "HEARTH-SEAL 1\nstart S\ninterval I\nepoch E\nkey HEX\ncheck HEX\n"
// with the numbers written as 20 digits and `check` an HMAC of the lines
// above under the key (a write cut short by a crash is seen).
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "support/securelog/chain_mac.h"
#include "support/securelog/log_format.h"

namespace support::securelog {

inline constexpr uint64_t kDefaultSealInterval = 15 * 60;

struct SealingState {
  uint64_t start = 0;     // seconds since 1970 (UTC) when epoch 0 began
  uint64_t interval = 0;  // seconds per epoch
  uint64_t epoch = 0;     // the epoch whose key is held
  MacKey key{};
};

struct VerificationKey {
  MacKey seed{};
  uint64_t start = 0;
  uint64_t interval = 0;
};

// "<64 hex digits of the seed>-<start>-<interval>"
std::string VerificationKeyText(const VerificationKey& key);
std::optional<VerificationKey> ParseVerificationKey(std::string_view text);

MacKey EpochZeroKey(const MacKey& seed);
MacKey NextEpochKey(const MacKey& key);
MacKey SealingKey(const MacKey& epoch_key);
Mac SealMac(const MacKey& sealing_key, std::string_view folded_name, std::string_view nonce, const SealRecord& seal,
            const Mac& previous_seal);

// Epoch `n`'s key from the verification key, derived forward; keeps the last
// one so that increasing epochs cost one step each.
class EpochKeys {
 public:
  explicit EpochKeys(const VerificationKey& key);
  MacKey Key(uint64_t epoch);

 private:
  VerificationKey verification_;
  uint64_t epoch_ = 0;
  MacKey key_{};
};

// "SecureLogSealInterval" of machine.conf: seconds, or a number followed by
// "s", "min" or "h"; the default (15 minutes) when missing or not a
// duration of at least one second.
uint64_t ConfiguredSealInterval();
uint64_t ParseSealInterval(std::string_view text);

// <folder of the machine key>/securelog.seal
std::string SealingStatePath(const std::string& machine_key_path);

// The epoch `now` falls in (0 before the start).
uint64_t EpochAt(uint64_t start, uint64_t interval, std::time_t now);

// Makes a new sealing state at epoch 0 and answers the verification key,
// which is not kept. Raises platform::BasicError when a state exists and
// `replace` is false, or the file cannot be written.
VerificationKey SetUpSealing(const std::string& state_path, uint64_t interval, std::time_t now, bool replace);

// nullopt when sealing is not set up. Raises when the file is damaged.
std::optional<SealingState> ReadSealingState(const std::string& state_path);

// Moves the key on to the epoch of `now`, first sealing every log in
// `log_folder` with the key of the epoch that ends. Under an exclusive lock
// on the sealing state; does nothing when sealing is not set up or the epoch
// has not ended. Answers the time (seconds since 1970) at which the epoch
// now held ends (0 when sealing is not set up).
std::time_t AdvanceSealing(const std::string& log_folder, const std::string& machine_key_path, std::time_t now);

// The clock sealing reads; tests set another.
std::time_t SealClockNow();
void SetSealClockForTesting(std::function<std::time_t()> clock);

}  // namespace support::securelog
