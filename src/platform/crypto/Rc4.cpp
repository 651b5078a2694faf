#include "platform/crypto/Rc4.h"

#include <stdexcept>
#include <utility>

namespace tav::crypto {

Rc4::Rc4(std::string_view key)
{
    if (key.empty() || key.size() > 256)
        throw std::invalid_argument("RC4 key must hold 1 to 256 bytes");
    for (std::size_t i = 0; i < m_state.size(); ++i)
        m_state[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (std::size_t i = 0; i < m_state.size(); ++i) {
        j = static_cast<std::uint8_t>(j + m_state[i] + static_cast<std::uint8_t>(key[i % key.size()]));
        std::swap(m_state[i], m_state[j]);
    }
}

void Rc4::apply(char *data, std::size_t size)
{
    for (std::size_t n = 0; n < size; ++n) {
        m_i = static_cast<std::uint8_t>(m_i + 1);
        m_j = static_cast<std::uint8_t>(m_j + m_state[m_i]);
        std::swap(m_state[m_i], m_state[m_j]);
        const std::uint8_t k = m_state[static_cast<std::uint8_t>(m_state[m_i] + m_state[m_j])];
        data[n] = static_cast<char>(static_cast<std::uint8_t>(data[n]) ^ k);
    }
}

std::string Rc4::apply(std::string_view data)
{
    std::string out(data);
    apply(out.data(), out.size());
    return out;
}

std::string Rc4::crypt(std::string_view key, std::string_view data)
{
    return Rc4(key).apply(data);
}

} // namespace tav::crypto
