// The little of a component framework that the convertor needs: an owner,
// a name, a tag, and binary properties that a form stream reads and writes.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sondrel {

// A byte stream with a position, as the property readers and writers see it.
class TStream {
public:
    explicit TStream(std::vector<std::uint8_t> bytes = {}) : bytes_(std::move(bytes)) {}
    // Reads n bytes; fewer when the stream ends. Returns the count read.
    std::size_t Read(void* dst, std::size_t n);
    void ReadBuffer(void* dst, std::size_t n);  // throws std::runtime_error when short
    void Write(const void* src, std::size_t n);
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    std::size_t Position() const { return pos_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

class TFiler {
public:
    virtual ~TFiler() = default;
    virtual void DefineBinaryProperty(const std::string& name, const std::function<void(TStream&)>& reader,
                                      const std::function<void(TStream&)>& writer, bool hasData) = 0;
};

// Reads the binary properties a stored form holds for one component.
class TPropertyReader final : public TFiler {
public:
    explicit TPropertyReader(const std::map<std::string, std::vector<std::uint8_t>>& stored) : stored_(stored) {}
    void DefineBinaryProperty(const std::string& name, const std::function<void(TStream&)>& reader,
                              const std::function<void(TStream&)>& writer, bool hasData) override;

private:
    const std::map<std::string, std::vector<std::uint8_t>>& stored_;
};

// Collects the binary properties of one component for storing.
class TPropertyWriter final : public TFiler {
public:
    void DefineBinaryProperty(const std::string& name, const std::function<void(TStream&)>& reader,
                              const std::function<void(TStream&)>& writer, bool hasData) override;
    std::map<std::string, std::vector<std::uint8_t>> Stored;
};

class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr) : Owner(owner) {}
    virtual ~TComponent() = default;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    virtual void DefineProperties(TFiler& /*filer*/) {}

    TComponent* Owner;
    std::string Name;
    long Tag = 0;
};

// Bytes from the hexadecimal text a form file stores them as.
std::vector<std::uint8_t> HexBytes(const std::string& text);

}  // namespace sondrel
