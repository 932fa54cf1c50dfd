#pragma once
// The host-facing interfaces of the audio side and the factory.
//
// Each interface is a table of virtual operations; the slot order below is the binary
// contract with the host and never changes. Interfaces declare no virtual destructor: under
// the platform ABI a virtual destructor takes two slots and would shift every later
// operation. Objects are reference counted instead.
//
// Every operation returns a result code: MP_OK (0) success, MP_FAIL (-1) failure,
// MP_NOSUPPORT (-2) an identifier or interface that the callee does not have. A pointer or
// data handed into an operation stays the caller's and is read only during the call, unless
// the operation says otherwise.

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
    // Stores the view for `iid` through `returnInterface` and adds a reference that the caller
    // owns and gives back with release() (MP_OK), or stores null (MP_NOSUPPORT). MP_FAIL for a
    // null `returnInterface`, which is left alone.
    virtual int32_t queryInterface(MpGuid const& iid, void** returnInterface) = 0; // slot 0
    // Both answer the count after the change. A module deletes itself when its last reference
    // goes; the factory and MpString live as long as the bundle or their caller and answer 1.
    virtual int32_t addRef() = 0;                                                   // slot 1
    virtual int32_t release() = 0;                                                  // slot 2
};

// [load time, any thread] The factory. The bundle's one instance is never deleted by
// release(); it lives until the bundle is unloaded.
class IMpFactory : public IMpUnknown {
public:
    // Creates the module registered under (uniqueId, subType) and hands `host` to it through
    // IMpLegacyInitialization when it has that view (audio-side modules); the module's setHost
    // result is not passed on. The caller owns the one reference in *returnInterface.
    // MP_OK, with null when the registered function made no module; MP_NOSUPPORT (null) for a
    // null or unknown identifier, an unknown sub-type or a null function; MP_FAIL (null) when
    // creation or setHost threw, or for a null `returnInterface`, which is left alone.
    virtual int32_t createInstance(wchar_t const* uniqueId, int32_t subType, IMpUnknown* host,
                                   void** returnInterface) = 0;                     // slot 3
    // Always MP_OK. Writes the framework version, and, when `returnCompilerInformation` is not
    // null and maxChars > 0, a build description cut to maxChars - 1 characters plus a
    // terminating zero.
    virtual int32_t getSdkInformation(int32_t& returnSdkVersion, int32_t maxChars,
                                      wchar_t* returnCompilerInformation) = 0;      // slot 4
};

class IMpFactory2 : public IMpFactory {
public:
    // As createInstance, without the host hand-over: the host calls setHost itself.
    virtual int32_t createInstance2(wchar_t const* uniqueId, int32_t subType,
                                    void** returnInterface) = 0;                    // slot 5
};

// [audio thread] The older audio-side module interface (MP_IID_PLUGIN, also the view given
// for MP_IID_UNKNOWN), for hosts of the older protocol; zrhost drives IMpPlugin2. It has no
// setHost: such a host is handed over through IMpLegacyInitialization (createInstance does
// so). Each operation does what its IMpPlugin2 namesake does.
class IMpPlugin : public IMpUnknown {
public:
    virtual int32_t open() = 0;                                                      // slot 3
    virtual int32_t setBuffer(int32_t pinIndex, float* buffer) = 0;                  // slot 4
    // Reads the list as IMpPlugin2::process does, and never writes it.
    virtual int32_t process(int32_t count, MpEvent* events) = 0;                     // slot 5
    virtual int32_t receiveMessageFromGui(int32_t id, int32_t size, void* messageData) = 0; // slot 6
};

// The interface a host drives for every audio-side module ({1E07E3E8-...}).
class IMpPlugin2 : public IMpUnknown {
public:
    // [load time, after creation, before open] Releases the host interfaces held so far and
    // queries MP_IID_PROCESSOR_HOST and MP_IID_HOST from `host`, keeping one reference to each
    // answer until the next setHost or the module's end. Result of the MP_IID_HOST query;
    // MP_NOSUPPORT for a null host. Without an audio host the module's outputs send nothing.
    virtual int32_t setHost(IMpUnknown* host) = 0;                                   // slot 3
    // [audio thread, before the first process] The module asks for the sample rate and its
    // pins as the host lists them, and prepares its tables. Every module here answers MP_OK.
    virtual int32_t open() = 0;                                                      // slot 4
    // [audio thread, between blocks] The module keeps `buffer` and uses samples 0 to count - 1
    // of it in every later process until the pin's next setBuffer: the host keeps it valid and
    // as long as its largest block. MP_FAIL for an unregistered pin index; a registered
    // pin that is not an audio pin ignores the buffer (MP_OK).
    virtual int32_t setBuffer(int32_t pinIndex, float* buffer) = 0;                  // slot 5
    // [audio thread] Runs one block of `count` samples (a negative count runs none) with its
    // timed events (null: none). The list and its data are read only during the call; pins
    // copy the values they keep. Events stamped at or after `count` are dropped (an empty
    // block still applies those at 0 and before). MP_OK, or MP_FAIL when the block threw and
    // ended early.
    virtual int32_t process(int32_t count, MpEvent const* events) = 0;               // slot 6
    // [audio thread] Not called by zrhost. No module of this bundle takes messages: MP_OK,
    // nothing read.
    virtual int32_t receiveMessageFromGui(int32_t id, int32_t size, void const* messageData) = 0; // slot 7
};

// Not an IMpUnknown, and no identifier answers it: the audio-side base derives from it, but a
// host cannot reach it through queryInterface. setHost does what IMpPlugin2::setHost does.
class IoldSchoolInitialisation {
public:
    virtual int32_t setHost(IMpUnknown* host) = 0;                                   // slot 0
};

// [load time] The host hand-over view of every audio-side module
// (MP_IID_LEGACY_INITIALIZATION): createInstance calls its setHost right after creation.
// setHost does what IMpPlugin2::setHost does.
class IMpLegacyInitialization : public IMpUnknown {
public:
    virtual int32_t setHost(IMpUnknown* host) = 0;                                   // slot 3
};

// [audio thread] The audio host interface (MP_IID_HOST), implemented by the host. The modules
// ignore the results unless said. The unused slots are never called by this bundle; zrhost
// answers MP_NOSUPPORT in each.
class IMpHost : public IMpUnknown {
public:
    // [inside process] The value reaches whatever is connected to output pin `pinIndex`, at
    // sample `timestamp` of the current block. `data` (`size` bytes) is read only during the
    // call: the host copies it.
    virtual int32_t setPin(int32_t timestamp, int32_t pinIndex, int32_t size, void const* data) = 0; // slot 3
    // [inside process] Whether output pin `pinIndex` changes per sample (1) or holds a static
    // value (0) from sample `timestamp` on.
    virtual int32_t setPinStreaming(int32_t timestamp, int32_t pinIndex, int32_t isStreaming) = 0;   // slot 4
    // [inside process] The module writes no more samples of this block. The host stops calling
    // process until an event arrives for the module, and holds each output at its last sample
    // meanwhile, the rest of this block included.
    virtual int32_t sleep() = 0;                                                     // slot 5
    virtual int32_t unusedSlot6() = 0;                                               // slot 6
    // Writes the number of samples a module computes after its outputs went static. Modules
    // read an unwritten answer as 0; the sleep countdown still runs at least 1 sample.
    virtual int32_t getSleepCountdown(int32_t* returnCountdown) = 0;                 // slot 7
    // Writes the sample rate in Hz. The module keeps its previous rate for an unwritten answer
    // or one that is not a finite number above 0 (sdk/SampleRate.h).
    virtual int32_t getSampleRate(float* returnSampleRate) = 0;                      // slot 8
    virtual int32_t unusedSlot9() = 0;                                               // slot 9
    virtual int32_t unusedSlot10() = 0;                                              // slot 10
    virtual int32_t unusedSlot11() = 0;                                              // slot 11
    virtual int32_t unusedSlot12() = 0;                                              // slot 12
    // [in open] Writes a new iterator over the module's pins as the host lists them; the
    // caller owns its one reference. PinIterator walks no pins for a result other than MP_OK,
    // or for MP_OK with null or nothing written.
    virtual int32_t createPinIterator(void** returnIterator) = 0;                    // slot 13
};

// [audio thread] Iterator over a module's pins, made by IMpHost::createPinIterator and
// implemented by the host. The module's walk (PinIterator) starts with first().
class IMpPinIterator : public IMpUnknown {
public:
    // Writes the number of pins.
    virtual int32_t getCount(int32_t* returnCount) = 0;                              // slot 3
    // Both answer 0 while positioned on a pin and non-zero past the end (zrhost: MP_FAIL);
    // next() past the end stays there.
    virtual int32_t first() = 0;                                                     // slot 4
    virtual int32_t next() = 0;                                                      // slot 5
    // The current pin's index, direction and datatype. Past the end: non-zero and nothing
    // written (zrhost: MP_FAIL); PinIterator then reads -1.
    virtual int32_t getPinId(int32_t* returnId) = 0;                                 // slot 6
    virtual int32_t getPinDirection(int32_t* returnDirection) = 0;                   // slot 7
    virtual int32_t getPinDatatype(int32_t* returnDatatype) = 0;                     // slot 8
};

} // namespace gmpi

// [load time] The bundle's one exported entry point: writes the factory's IMpUnknown view,
// whose reference counting does nothing. MP_FAIL for a null `returnInterface` or when the
// factory could not be made.
extern "C" int32_t MP_GetFactory(void** returnInterface);
