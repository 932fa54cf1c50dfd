#pragma once
// The host-facing interfaces of the audio side and the factory.
//
// Each interface is a table of virtual operations; the slot order below is the binary
// contract with the host and never changes. Interfaces declare no virtual destructor: under
// the platform ABI a virtual destructor takes two slots and would shift every later
// operation. Objects are reference counted instead.
//
// Every operation returns a result code: MP_OK (0) success, MP_FAIL (-1) failure,
// MP_NOSUPPORT (-2) an identifier or interface that the callee does not have.

#include <cstdint>

#include "Identifiers.h"

static_assert(sizeof(wchar_t) == 4, "text pins carry 32-bit wide characters");

namespace gmpi {

enum ReturnCode : int32_t {
    MP_OK = 0,
    MP_FAIL = -1,
    MP_NOSUPPORT = -2,
};

// Pin datatype codes, shared by both sides.
enum PinDatatype : int32_t {
    MP_INT32 = 0,
    MP_STRING = 1,
    MP_MIDI = 2,
    MP_BOOL = 4,
    MP_AUDIO = 5,
    MP_FLOAT32 = 6,
    MP_ENUM = 8,
    MP_BLOB = 10,
};

enum PinDirection : int32_t {
    MP_IN = 0,
    MP_OUT = 1,
};

enum EventType : int32_t {
    EVENT_PIN_SET = 100,         // a pin receives parm2 bytes of data
    EVENT_PIN_STREAMING_START = 101,
    EVENT_PIN_STREAMING_STOP = 102,
    EVENT_MIDI = 103,
    EVENT_GRAPH_START = 104,
};

// One timed event of a block. The host links a block's events in timestamp order.
struct MpEvent {
    int32_t timeDelta;  // sample offset within the block
    int32_t eventType;  // EventType
    int32_t parm1;      // pin index
    int32_t parm2;      // data size in bytes
    int32_t parm3;      // parm3 and parm4: 8 bytes of inline data
    int32_t parm4;
    char* extraData;    // the data when it does not fit inline, else null
    MpEvent* next;      // null at the end of the list
};

class IMpUnknown {
public:
    // Stores the view for `iid` through `returnInterface` and adds a reference (MP_OK), or
    // stores null (MP_NOSUPPORT).
    virtual int32_t queryInterface(MpGuid const& iid, void** returnInterface) = 0; // slot 0
    virtual int32_t addRef() = 0;                                                   // slot 1
    virtual int32_t release() = 0;                                                  // slot 2
};

// [load time, any thread] The factory. The bundle's one instance is never deleted by
// release(); it lives until the bundle is unloaded.
class IMpFactory : public IMpUnknown {
public:
    // Creates the module registered under (uniqueId, subType). `host` is handed to the new
    // module when it is an audio-side module. The caller owns the one reference in
    // *returnInterface. MP_NOSUPPORT for an unknown pair, MP_FAIL when creation failed.
    virtual int32_t createInstance(wchar_t const* uniqueId, int32_t subType, IMpUnknown* host,
                                   void** returnInterface) = 0;                     // slot 3
    // Writes the framework version and a build description of at most maxChars - 1
    // characters plus a terminating zero.
    virtual int32_t getSdkInformation(int32_t& returnSdkVersion, int32_t maxChars,
                                      wchar_t* returnCompilerInformation) = 0;      // slot 4
};

class IMpFactory2 : public IMpFactory {
public:
    // As createInstance, without the host hand-over: the host calls setHost itself.
    virtual int32_t createInstance2(wchar_t const* uniqueId, int32_t subType,
                                    void** returnInterface) = 0;                    // slot 5
};

// The older audio-side module interface ({2B0DFC7E-...}).
class IMpPlugin : public IMpUnknown {
public:
    virtual int32_t open() = 0;                                                      // slot 3
    virtual int32_t setBuffer(int32_t pinIndex, float* buffer) = 0;                  // slot 4
    virtual int32_t process(int32_t count, MpEvent* events) = 0;                     // slot 5
    virtual int32_t receiveMessageFromGui(int32_t id, int32_t size, void* messageData) = 0; // slot 6
};

// [audio thread] The interface a host drives for every audio-side module ({1E07E3E8-...}).
class IMpPlugin2 : public IMpUnknown {
public:
    // Hands the host over; the module queries MP_IID_PROCESSOR_HOST and MP_IID_HOST from it.
    // Result of the MP_IID_HOST query; MP_NOSUPPORT for a null host.
    virtual int32_t setHost(IMpUnknown* host) = 0;                                   // slot 3
    // [audio thread, before the first process] The module prepares its tables.
    virtual int32_t open() = 0;                                                      // slot 4
    // Sets the sample buffer of an audio pin. MP_FAIL for an unregistered pin index.
    virtual int32_t setBuffer(int32_t pinIndex, float* buffer) = 0;                  // slot 5
    // Runs one block of `count` samples with its timed events (null: none).
    virtual int32_t process(int32_t count, MpEvent const* events) = 0;               // slot 6
    virtual int32_t receiveMessageFromGui(int32_t id, int32_t size, void const* messageData) = 0; // slot 7
};

class IoldSchoolInitialisation {
public:
    virtual int32_t setHost(IMpUnknown* host) = 0;                                   // slot 0
};

// Implemented by every audio-side module: the factory hands the host over through it.
class IMpLegacyInitialization : public IMpUnknown {
public:
    virtual int32_t setHost(IMpUnknown* host) = 0;                                   // slot 3
};

// [audio thread] The audio host interface (MP_IID_HOST), implemented by the host. Results
// are ignored by the modules unless said. Slots marked unused are not called by this bundle.
class IMpHost : public IMpUnknown {
public:
    // The value reaches whatever is connected to output pin `pinIndex`, at sample `timestamp`
    // of the current block.
    virtual int32_t setPin(int32_t timestamp, int32_t pinIndex, int32_t size, void const* data) = 0; // slot 3
    // Whether output pin `pinIndex` changes per sample (1) or holds a static value (0).
    virtual int32_t setPinStreaming(int32_t timestamp, int32_t pinIndex, int32_t isStreaming) = 0;   // slot 4
    // The host stops calling process until an event arrives for the module.
    virtual int32_t sleep() = 0;                                                     // slot 5
    virtual int32_t unusedSlot6() = 0;                                               // slot 6
    // Writes the number of samples a module processes after its outputs went static.
    virtual int32_t getSleepCountdown(int32_t* returnCountdown) = 0;                 // slot 7
    // Writes the sample rate in Hz.
    virtual int32_t getSampleRate(float* returnSampleRate) = 0;                      // slot 8
    virtual int32_t unusedSlot9() = 0;                                               // slot 9
    virtual int32_t unusedSlot10() = 0;                                              // slot 10
    virtual int32_t unusedSlot11() = 0;                                              // slot 11
    virtual int32_t unusedSlot12() = 0;                                              // slot 12
    // Writes a new pin iterator over the module's pins as the host describes them; the caller
    // owns one reference.
    virtual int32_t createPinIterator(void** returnIterator) = 0;                    // slot 13
};

// [audio thread] Iterator over a module's pins, made by IMpHost::createPinIterator.
class IMpPinIterator : public IMpUnknown {
public:
    virtual int32_t getCount(int32_t* returnCount) = 0;                              // slot 3
    // 0 while positioned on a pin, non-zero past the end.
    virtual int32_t first() = 0;                                                     // slot 4
    virtual int32_t next() = 0;                                                      // slot 5
    virtual int32_t getPinId(int32_t* returnId) = 0;                                 // slot 6
    virtual int32_t getPinDirection(int32_t* returnDirection) = 0;                   // slot 7
    virtual int32_t getPinDatatype(int32_t* returnDatatype) = 0;                     // slot 8
};

} // namespace gmpi

// The bundle's one exported entry point: writes the factory's IMpUnknown view.
extern "C" int32_t MP_GetFactory(void** returnInterface);
