#include "app/FormResults.h"

#include "shell/MEnvVar.h"

QByteArray valueAssignments(const MEnvVar &store)
{
    // A store without kiv's own variable, written by the same code as the scripts.
    MEnvVar bound;
    for (int i = 0; i < store.count(); ++i) {
        const QByteArray name = store.name(i);
        if ((i == 0 && name == "KIV_MY_PID") || !MEnvVar::isShellName(name))
            continue;
        bound.addVariable(name, store.valueOf(i));
    }
    return bound.exportAssignments();
}
