#include "model/Clock.h"

#include "model/DateTime.h"

#include <QDateTime>

namespace {

class SystemClock : public Clock {
public:
    double now() const override
    {
        const QDateTime now = QDateTime::currentDateTime();
        return EncodeDateTime(now.date(), now.time());
    }
};

}  // namespace

double Now()
{
    static const SystemClock system;
    return Seam<const Clock>::current(system).now();
}
