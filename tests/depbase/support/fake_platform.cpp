#include "fake_platform.h"

#include <cstdlib>
#include <cstring>

std::u16string ToU16(const std::string &ascii)
{
    std::u16string out;
    for (unsigned char c : ascii) {
        out.push_back(static_cast<char16_t>(c));
    }
    return out;
}

static std::u16string FromWide(const ZMD_WCHAR *s)
{
    std::u16string out;
    for (; s && *s; ++s) {
        out.push_back(static_cast<char16_t>(*s));
    }
    return out;
}

FakePlatform::FakePlatform()
{
    table_.ctx = this;
    table_.openPrinter = &OpenPrinter;
    table_.closePrinter = &ClosePrinter;
    table_.getPrinterData = &GetPrinterData;
    table_.getLocalTime = &GetLocalTime;
    table_.getCountryText = &GetCountryText;
    table_.alloc = &Alloc;
    table_.free = &Free;
}

FakePlatform::~FakePlatform()
{
    for (void *p : live_) {
        std::free(p);
    }
}

void *FakePlatform::addPrinter(const std::string &name)
{
    auto it = printers_.find(ToU16(name));
    if (it != printers_.end()) {
        return it->second.handle;
    }
    Printer p;
    p.handle = reinterpret_cast<void *>(nextHandle_);
    nextHandle_ += 0x10;
    printers_[ToU16(name)] = p;
    return p.handle;
}

void FakePlatform::setValue(const std::string &printer, const std::string &valueName, const std::vector<uint8_t> &bytes)
{
    addPrinter(printer);
    printers_[ToU16(printer)].values[ToU16(valueName)] = bytes;
}

void FakePlatform::setDword(const std::string &printer, const std::string &valueName, int32_t value)
{
    uint32_t u = static_cast<uint32_t>(value);
    setValue(printer, valueName,
             {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
              static_cast<uint8_t>(u >> 24)});
}

void FakePlatform::removeValue(const std::string &printer, const std::string &valueName)
{
    auto it = printers_.find(ToU16(printer));
    if (it != printers_.end()) {
        it->second.values.erase(ToU16(valueName));
    }
}

void *FakePlatform::handleOf(const std::string &printer) const
{
    auto it = printers_.find(ToU16(printer));
    return it == printers_.end() ? nullptr : it->second.handle;
}

void FakePlatform::resetSpoolerCounters()
{
    openCalls = openSucceeded = closeCalls = getDataCalls = closedOpened_ = 0;
    closedHandles.clear();
    lastValueNames.clear();
}

FakePlatform::Printer *FakePlatform::byHandle(void *handle)
{
    for (auto &entry : printers_) {
        if (entry.second.handle == handle) {
            return &entry.second;
        }
    }
    return nullptr;
}

bool FakePlatform::OpenPrinter(void *ctx, const ZMD_WCHAR *name, void **handle)
{
    auto *self = static_cast<FakePlatform *>(ctx);
    ++self->openCalls;
    if (self->failOpen || !name || !handle) {
        return false;
    }
    auto it = self->printers_.find(FromWide(name));
    if (it == self->printers_.end()) {
        return false;
    }
    *handle = it->second.handle;
    ++self->openSucceeded;
    return true;
}

void FakePlatform::ClosePrinter(void *ctx, void *handle)
{
    auto *self = static_cast<FakePlatform *>(ctx);
    ++self->closeCalls;
    self->closedHandles.push_back(handle);
    if (self->byHandle(handle)) {
        ++self->closedOpened_;
    }
}

bool FakePlatform::GetPrinterData(void *ctx, void *handle, const ZMD_WCHAR *valueName, void *data, uint32_t cbData,
                                  uint32_t *cbNeeded)
{
    auto *self = static_cast<FakePlatform *>(ctx);
    ++self->getDataCalls;
    self->lastValueNames.push_back(FromWide(valueName));
    Printer *p = self->byHandle(handle);
    if (!p) {
        return false;
    }
    auto it = p->values.find(FromWide(valueName));
    if (it == p->values.end()) {
        return false;
    }
    const std::vector<uint8_t> &bytes = it->second;
    if (cbNeeded) {
        *cbNeeded = static_cast<uint32_t>(bytes.size());
    }
    if (bytes.size() > cbData || (!data && !bytes.empty())) {
        return false;
    }
    if (!bytes.empty()) {
        std::memcpy(data, bytes.data(), bytes.size());
    }
    return true;
}

void FakePlatform::GetLocalTime(void *ctx, ZMD_LocalTime *out)
{
    auto *self = static_cast<FakePlatform *>(ctx);
    ++self->timeCalls;
    if (out) {
        *out = self->localTime;
    }
}

int FakePlatform::GetCountryText(void *ctx, char *buf, int cb)
{
    auto *self = static_cast<FakePlatform *>(ctx);
    ++self->countryCalls;
    int need = static_cast<int>(self->countryText.size()) + 1;
    if (cb == 0) {
        return self->failCountrySize ? 0 : need;
    }
    if (self->failCountryFetch || !buf || cb < need) {
        return 0;
    }
    std::memcpy(buf, self->countryText.c_str(), static_cast<size_t>(need));
    return need;
}

void *FakePlatform::Alloc(void *ctx, size_t size)
{
    auto *self = static_cast<FakePlatform *>(ctx);
    ++self->allocCalls;
    if (self->failAllocAt != 0 && self->allocCalls == self->failAllocAt) {
        return nullptr;
    }
    void *p = std::calloc(1, size ? size : 1);
    if (p) {
        self->live_.insert(p);
    }
    return p;
}

void FakePlatform::Free(void *ctx, void *p)
{
    auto *self = static_cast<FakePlatform *>(ctx);
    if (!p) {
        return;
    }
    ++self->freeCalls;
    if (self->live_.erase(p) == 0) {
        ++self->badFrees;
        return;
    }
    std::free(p);
}
