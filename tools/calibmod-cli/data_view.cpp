// calibmod-cli: gathering the inspection layer's records of a data file.
#include "data_view.h"

#include "list_view.h"

namespace cli {

namespace {

void onHead(void *arg, const InspectHead *head)
{
    DataView *v = static_cast<DataView *>(arg);
    v->head = *head;
    v->headRead = true;
}

void onKzdb(void *arg, const InspectKzdb *table)
{
    KzdbRecord r;
    r.table = *table;
    r.table.kzhtIds = nullptr;
    r.ids.assign(table->kzhtIds, table->kzhtIds + table->idCount);
    static_cast<DataView *>(arg)->kzdb.push_back(r);
}

void onKzht(void *arg, const InspectKzht *table)
{
    static_cast<DataView *>(arg)->kzht.push_back(*table);
}

} // namespace

DataView dataViewOf(const std::vector<uint8_t> &bytes)
{
    DataView v;
    InspectDataVisit visit{&v, onHead, onKzdb, onKzht};
    v.rc = inspectDataBytes(nullptr, bytes.data(), static_cast<uint32_t>(bytes.size()), &visit);
    return v;
}

DataView dataViewOfFile(const std::string &dir, const std::string &name)
{
    DataView v;
    InspectDataVisit visit{&v, onHead, onKzdb, onKzht};
    std::basic_string<KZ_WCHAR> wide = wideDir(dir);
    v.rc = inspectDataFile(nullptr, wide.c_str(), name.c_str(), CAL_MODE_READ_SOURCE, &visit);
    return v;
}

} // namespace cli
