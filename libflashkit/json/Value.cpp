// SPDX-License-Identifier: Apache-2.0
#include "json/Value.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "json/Double.h"
#include "json/ObjectMap.h"

namespace pocketjson {

template class Value::Container<Value::StringType>;
template class Value::Container<Value::ObjectType>;
template class Value::Container<Value::ArrayType>;

namespace {

using StringContainer = Value::Container<Value::StringType>;
using ObjectContainer = Value::Container<Value::ObjectType>;
using ArrayContainer = Value::Container<Value::ArrayType>;

}  // namespace

Value::Value(const char* text) : m_type(Null) {
    m_payload.integer = 0;
    if (text == nullptr) return;
    m_payload.container = new StringContainer(StringType(text));
    m_type = String;
}

Value::Value(const std::string& text) : m_type(String) {
    m_payload.container = new StringContainer(text);
}

Value::Value(std::string&& text) : m_type(String) {
    m_payload.container = new StringContainer(std::move(text));
}

Value::Value(Type type) : m_type(Null) {
    m_payload.integer = 0;
    makeEmpty(type);
}

Value::Value(const Value& other) : m_type(other.m_type), m_payload(other.m_payload) { retain(); }

Value::Value(Value&& other) noexcept : m_type(other.m_type), m_payload(other.m_payload) {
    other.m_type = Null;
    other.m_payload.integer = 0;
}

Value& Value::operator=(const Value& other) {
    // Through a copy: `other` may live inside the container this value is about to release.
    Value copy(other);
    swap(copy);
    return *this;
}

Value& Value::operator=(Value&& other) noexcept {
    Value taken(std::move(other));
    swap(taken);
    return *this;
}

Value::~Value() { release(); }

void Value::swap(Value& other) noexcept {
    std::swap(m_type, other.m_type);
    std::swap(m_payload, other.m_payload);
}

const Value& Value::s_null() {
    static const Value null;
    return null;
}

void Value::retain() const noexcept {
    if (isContainer()) ++m_payload.container->m_refCount;
}

void Value::release() noexcept {
    if (isContainer()) {
        AbstractContainer* container = m_payload.container;
        // Detach first: deleting the container destroys nested values, and none of them may
        // reach this one in a half-released state.
        m_type = Null;
        m_payload.integer = 0;
        if (--container->m_refCount == 0) delete container;
    } else {
        m_type = Null;
        m_payload.integer = 0;
    }
}

void Value::makeEmpty(Type type) {
    // Build the new content before letting go of the old, so that an allocation failure
    // leaves the value as it was.
    Value fresh;
    switch (type) {
    case Boolean: fresh = Value(false); break;
    case Integer: fresh = Value(int64_t{0}); break;
    case Real: fresh = Value(0.0); break;
    case String: fresh.m_payload.container = new StringContainer(); break;
    case Object: fresh.m_payload.container = new ObjectContainer(); break;
    case Array: fresh.m_payload.container = new ArrayContainer(); break;
    default: break;  // Null, or a mask of several kinds
    }
    if (type == String || type == Object || type == Array) fresh.m_type = type;
    swap(fresh);
}

bool Value::isShared() const { return isContainer() && m_payload.container->m_refCount > 1; }

Value::StringType& Value::stringContent() {
    return static_cast<StringContainer*>(m_payload.container)->m_content;
}

Value::ObjectType& Value::objectContent() {
    return static_cast<ObjectContainer*>(m_payload.container)->m_content;
}

Value::ArrayType& Value::arrayContent() {
    return static_cast<ArrayContainer*>(m_payload.container)->m_content;
}

const Value::StringType& Value::stringValue() const {
    static const StringType empty;
    return isString() ? static_cast<const StringContainer*>(m_payload.container)->m_content : empty;
}

const Value::ObjectType& Value::objectValue() const {
    static const ObjectType empty;
    return isObject() ? static_cast<const ObjectContainer*>(m_payload.container)->m_content : empty;
}

const Value::ArrayType& Value::arrayValue() const {
    static const ArrayType empty;
    return isArray() ? static_cast<const ArrayContainer*>(m_payload.container)->m_content : empty;
}

void Value::setString(const std::string& text) {
    if (isString() && !isShared()) {
        stringContent() = text;  // self-assignment of std::string is safe
        return;
    }
    // `text` may belong to the container released here, so the new value is made first.
    Value fresh(text);
    swap(fresh);
}

const Value& Value::operator[](const std::string& key) const {
    const Value* member = find(key);
    return member ? *member : s_null();
}

Value& Value::operator[](const std::string& key) {
    // Whatever this value held stays alive until the end of the call: `key` may point into it.
    Value previous;
    if (!isObject()) {
        previous = std::move(*this);
        makeEmpty(Object);
    } else if (isShared()) {
        Value copy;
        copy.m_payload.container = new ObjectContainer(objectContent());
        copy.m_type = Object;
        previous = std::move(*this);
        swap(copy);
    }
    return objectContent().findOrAdd(key);
}

const Value* Value::find(const std::string& key) const {
    if (!isObject()) return nullptr;
    return objectValue().find(key);
}

void Value::push_back(const Value& item) {
    if (&item == this) return;
    // An array holding its own container could never be freed.
    if (isArray() && item.isArray() && item.m_payload.container == m_payload.container) return;
    // `item` may live inside the content dropped here; keep that content until the append.
    Value previous;
    if (!isArray()) {
        previous = std::move(*this);
        makeEmpty(Array);
    }
    arrayContent().push_back(item);
}

void Value::insert(const std::string& key, const Value& item) {
    if (&item == this) return;
    if (isObject() && item.isObject() && item.m_payload.container == m_payload.container) return;
    Value previous;
    if (!isObject()) {
        previous = std::move(*this);
        makeEmpty(Object);
    }
    objectContent().insert(key, item);
}

size_t Value::size() const {
    switch (m_type) {
    case String: return stringValue().size();
    case Object: return objectValue().size();
    case Array: return arrayValue().size();
    default: return 0;
    }
}

const Value& Value::at(size_t index) const {
    if (!isArray()) return s_null();
    const ArrayType& elements = arrayValue();
    return index < elements.size() ? elements[index] : s_null();
}

std::string Value::toString(const std::string& fallback) const {
    switch (m_type) {
    case Boolean: return m_payload.boolean ? "true" : "false";
    case Integer: {
        char text[32];
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(m_payload.integer));
        return text;
    }
    case Real: {
        // NaN and the infinities have no JSON form but still a text ("nan", "inf").
        std::string text;
        auto out = std::back_inserter(text);
        Double(m_payload.real).toString(out);
        return text;
    }
    case String: return stringValue();
    default: return fallback;
    }
}

uint32_t Value::toUInt32() const {
    switch (m_type) {
    case Boolean: return m_payload.boolean ? 1 : 0;
    case Integer: {
        const int64_t value = m_payload.integer;
        return value >= 0 && value <= int64_t{UINT32_MAX} ? static_cast<uint32_t>(value) : 0;
    }
    case Real: {
        // std::round takes halves away from zero; NaN fails both comparisons.
        const double rounded = std::round(m_payload.real);
        return rounded >= 0.0 && rounded <= 4294967295.0 ? static_cast<uint32_t>(rounded) : 0;
    }
    case String: {
        const std::string& text = stringValue();
        const char* begin = text.c_str();
        char* end = nullptr;
        errno = 0;
        const long long value = std::strtoll(begin, &end, 0);
        // The whole text must be the number; an embedded zero byte ends strtoll early.
        if (errno != 0 || end != begin + text.size()) return 0;
        return value >= 0 && value <= static_cast<long long>(UINT32_MAX)
                   ? static_cast<uint32_t>(value)
                   : 0;
    }
    default: return 0;
    }
}

bool Value::operator==(const Value& other) const {
    if (m_type != other.m_type) return false;
    switch (m_type) {
    case Null: return true;
    case Boolean: return m_payload.boolean == other.m_payload.boolean;
    case Integer: return m_payload.integer == other.m_payload.integer;
    case Real: return m_payload.real == other.m_payload.real;
    default:
        if (m_payload.container == other.m_payload.container) return true;
        switch (m_type) {
        case String: return stringValue() == other.stringValue();
        case Object: return objectValue() == other.objectValue();
        case Array: return arrayValue() == other.arrayValue();
        default: return false;
        }
    }
}

}  // namespace pocketjson
