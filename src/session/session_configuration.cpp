// Configuration and security bytes, and clearing the configuration protection.

#include "session.h"

#include "flash/configuration.h"

namespace zelvan {

bool Session::cmdUCFG1_Click() {
    CommandContext ctx = context();
    return editConfigByte(ctx, ucfg1Byte());
}

bool Session::cmdUCFG2_Click() {
    CommandContext ctx = context();
    return editConfigByte(ctx, ucfg2Byte());
}

bool Session::cmdSetBootVector_Click() {
    CommandContext ctx = context();
    return editConfigByte(ctx, bootVectorByte());
}

bool Session::cmdStatusByte_Click() {
    CommandContext ctx = context();
    return editConfigByte(ctx, statusByte());
}

bool Session::cmdProgramSecurity_Click() {
    CommandContext ctx = context();
    return part_ && programSecurityBytes(ctx, *part_);
}

bool Session::cmdCCP_Click() {
    CommandContext ctx = context();
    return clearConfigurationProtection(ctx);
}

} // namespace zelvan
