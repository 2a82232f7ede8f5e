// The in-process component interface that a component library and its clients share: class and
// interface identifiers, result codes, the class factory and the creation of objects. It needs
// nothing but the standard library, so that a component's public header can rest on it.
#pragma once

#include <cstdint>
#include <string_view>

namespace varkel::platform {

// A class or interface identifier.
struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
    bool operator==(const Guid&) const = default;
};

// Result codes of the component entry points.
inline constexpr int32_t kOk = 0;
inline constexpr int32_t kFalse = 1;
inline constexpr int32_t kNoInterface = static_cast<int32_t>(0x80004002u);
inline constexpr int32_t kPointer = static_cast<int32_t>(0x80004003u);
inline constexpr int32_t kFail = static_cast<int32_t>(0x80004005u);
inline constexpr int32_t kOutOfMemory = static_cast<int32_t>(0x8007000Eu);
inline constexpr int32_t kClassNotAvailable = static_cast<int32_t>(0x80040111u);
inline constexpr int32_t kClassNotRegistered = static_cast<int32_t>(0x80040154u);

// The class factory that DllGetClassObject hands out.
class IClassFactory {
public:
    virtual int32_t CreateInstance(const Guid& interfaceId, void** object) = 0;
    virtual int32_t LockServer(bool lock) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    ~IClassFactory() = default;
};

inline constexpr Guid kClassFactoryId = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Creates an object of `classId` with interface `interfaceId` through the first library that
// may serve it (the registered one, then one beside the program, then the installation's
// component folder). The library stays loaded for the life of the process. Throws
// std::runtime_error when no object can be made.
void* createComponent(const Guid& classId, const Guid& interfaceId, std::string_view libraryFile);

}  // namespace varkel::platform
