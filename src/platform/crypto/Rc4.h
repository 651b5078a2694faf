#pragma once

// The RC4 stream cipher. Written here because OpenSSL 3 keeps RC4 only in its legacy provider,
// and the stored proxy password needs nothing more than this.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tav::crypto {

class Rc4
{
public:
    // `key` must hold 1 to 256 bytes (std::invalid_argument otherwise).
    explicit Rc4(std::string_view key);

    // Enciphers or deciphers `data` in place, continuing the key stream.
    void apply(char *data, std::size_t size);
    std::string apply(std::string_view data);

    // One-shot: the same operation enciphers and deciphers.
    static std::string crypt(std::string_view key, std::string_view data);

private:
    std::array<std::uint8_t, 256> m_state{};
    std::uint8_t m_i = 0;
    std::uint8_t m_j = 0;
};

} // namespace tav::crypto
