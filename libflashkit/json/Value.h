// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "json/ContainerArena.h"

namespace pocketjson {

class ObjectMap;

// One bit per kind, so that a set of kinds is a mask (`Integer | Real`).
enum Type : uint32_t {
    Null = 0x00,
    Boolean = 0x01,
    Integer = 0x02,
    Real = 0x04,
    String = 0x10,
    Object = 0x20,
    Array = 0x40,
};

constexpr Type operator|(Type a, Type b) {
    return static_cast<Type>(static_cast<uint32_t>(a) | static_cast<uint32_t>(b));
}
constexpr Type operator&(Type a, Type b) {
    return static_cast<Type>(static_cast<uint32_t>(a) & static_cast<uint32_t>(b));
}

// The kinds that keep their content in a shared, reference-counted container.
constexpr uint32_t kContainerTypes = 0x70;

// A JSON value: a type tag and an 8-byte payload. Strings, objects and arrays live in
// reference-counted containers, so copying a Value is cheap and the copies share content.
//
// Sharing rules:
// - the non-const operator[](key) copies a shared object before touching it, so other holders
//   keep the old content;
// - push_back and insert change the container in place even when it is shared, so every
//   holder sees the new element or member; build a value completely before copying it;
// - reference counts are plain integers: values that share a container must stay on one
//   thread.
//
// Containers are freed when the last holder goes. A container that ends up inside itself
// (for example a = [b], then b.push_back(a) while b shares a's element) is never freed;
// push_back and insert refuse the direct cases, deeper cycles are the caller's to avoid.
class Value {
public:
    class AbstractContainer {
    public:
        AbstractContainer() = default;
        virtual ~AbstractContainer() = default;
        AbstractContainer(const AbstractContainer&) = delete;
        AbstractContainer& operator=(const AbstractContainer&) = delete;

        // Containers made while a parser runs come from its arena (json/ContainerArena.h).
        static void* operator new(size_t size) { return ContainerArena::allocate(size); }
        static void operator delete(void* memory, size_t size) noexcept {
            ContainerArena::deallocate(memory, size);
        }

    private:
        friend class Value;
        // Not atomic: values that share a container stay on one thread. A new container
        // belongs to the value that creates it.
        uint32_t m_refCount = 1;
    };

    // Instantiated for StringType, ObjectType and ArrayType only (in Value.cpp).
    template <class T> class Container : public AbstractContainer {
    public:
        Container() = default;
        explicit Container(const T& content) : m_content(content) {}
        explicit Container(T&& content) : m_content(std::move(content)) {}

        T m_content;
    };

    using StringType = std::string;
    // Members in byte-wise key order, the order of the serialised form (json/ObjectMap.h).
    using ObjectType = ObjectMap;
    using ArrayType = std::vector<Value>;

    Value() : m_type(Null) { m_payload.integer = 0; }
    Value(bool value) : m_type(Boolean) {  // NOLINT: implicit on purpose, like all scalars
        m_payload.integer = 0;
        m_payload.boolean = value;
    }
    // Every integer type; an unsigned value beyond the signed 64-bit range becomes a Real, as
    // such a number does when parsed.
    template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool> &&
                                            !std::is_same_v<T, char>,
                                        int> = 0>
    Value(T value) {  // NOLINT
        if constexpr (std::is_unsigned_v<T> && sizeof(T) >= sizeof(int64_t)) {
            if (value > static_cast<T>(std::numeric_limits<int64_t>::max())) {
                m_type = Real;
                m_payload.real = static_cast<double>(value);
                return;
            }
        }
        m_type = Integer;
        m_payload.integer = static_cast<int64_t>(value);
    }
    Value(double value) : m_type(Real) { m_payload.real = value; }  // NOLINT
    // A null pointer gives a Null value.
    Value(const char* text);         // NOLINT
    Value(const std::string& text);  // NOLINT
    Value(std::string&& text);       // NOLINT
    // Pointers other than text would otherwise silently turn into a Boolean.
    template <class T> Value(const T*) = delete;
    // The empty value of a kind: null, false, 0, 0.0, "", {} or []. A tag that is not exactly
    // one kind gives Null.
    explicit Value(Type type);

    Value(const Value& other);
    Value(Value&& other) noexcept;
    Value& operator=(const Value& other);
    Value& operator=(Value&& other) noexcept;
    ~Value();

    void swap(Value& other) noexcept;

    // The shared Null returned wherever a member or element is missing.
    static const Value& s_null();

    Type type() const { return static_cast<Type>(m_type); }
    bool isNull() const { return m_type == Null; }
    bool isBoolean() const { return m_type == Boolean; }
    bool isInteger() const { return m_type == Integer; }
    bool isReal() const { return m_type == Real; }
    bool isString() const { return m_type == String; }
    bool isObject() const { return m_type == Object; }
    bool isArray() const { return m_type == Array; }
    bool isContainer() const { return (m_type & kContainerTypes) != 0; }
    // True when another value holds the same container.
    bool isShared() const;

    // Plain getters without conversion: a value of another kind gives false, 0, 0.0 or an
    // empty string, object or array.
    bool booleanValue() const { return m_type == Boolean && m_payload.boolean; }
    int64_t integerValue() const { return m_type == Integer ? m_payload.integer : 0; }
    double realValue() const { return m_type == Real ? m_payload.real : 0.0; }
    const StringType& stringValue() const;
    const ObjectType& objectValue() const;
    const ArrayType& arrayValue() const;

    // Replaces the content by a string, reusing the string container when nobody else holds it.
    void setString(const std::string& text);

    // The member, or s_null() when this is not an object or has no such member.
    const Value& operator[](const std::string& key) const;
    // Makes this an object (dropping other content), copies a shared object first, adds a Null
    // member when the key is absent, and returns the member. The reference stays valid until
    // this value changes or is copied and then written through operator[] again.
    Value& operator[](const std::string& key);
    // The member, or nullptr when this is not an object or has no such member; tells a missing
    // member from a Null one.
    const Value* find(const std::string& key) const;
    bool contains(const std::string& key) const { return find(key) != nullptr; }

    // Makes this an array (dropping other content) and appends a copy of item. Appending a
    // value to itself, or to the array container it shares, does nothing.
    void push_back(const Value& item);
    // Makes this an object (dropping other content) and adds the member unless the key is
    // already there, in which case the existing member is kept. Inserting a value into itself,
    // or into the object container it shares, does nothing.
    void insert(const std::string& key, const Value& item);

    // Element count of an array, member count of an object, byte length of a string, else 0.
    size_t size() const;
    // Element index of an array, or s_null() when this is not an array or index is out of range.
    const Value& at(size_t index) const;

    // Text of a scalar or string; Null, objects and arrays give fallback.
    std::string toString(const std::string& fallback = std::string()) const;
    // The unsigned 32-bit number a value stands for, or 0 when it stands for none.
    uint32_t toUInt32() const;

    // Deep comparison; kinds must match (1 and 1.0 differ).
    bool operator==(const Value& other) const;
    bool operator!=(const Value& other) const { return !(*this == other); }

private:
    // The parser fills arrays and objects in place instead of through copies.
    friend class Parser;

    void release() noexcept;
    void retain() const noexcept;
    void makeEmpty(Type type);
    StringType& stringContent();
    ObjectType& objectContent();
    ArrayType& arrayContent();

    uint32_t m_type;
    union {
        bool boolean;
        int64_t integer;
        double real;
        AbstractContainer* container;
    } m_payload;
};

inline void swap(Value& a, Value& b) noexcept { a.swap(b); }

}  // namespace pocketjson

// Iterating an object's members needs the whole member table.
#include "json/ObjectMap.h"  // IWYU pragma: export
