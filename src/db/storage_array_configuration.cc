// DBQueries::ConfigureSMArrayEntries: ties a storage array, its control host and the control
// host's client together in SMControlHost, SMArray and SMArrayCtrlHostMap through the table
// classes. Each statement stands alone; the first failure ends the run.
#include <ctime>

#include "db/db_queries.h"
#include "db/exception_text.h"
#include "db/rows/db_odbc_date.h"
#include "db/rows/db_table.h"
#include "db/rows/record_text.h"
#include "db/rows/sm_array.h"
#include "db/rows/sm_array_ctrl_host_map.h"
#include "db/rows/sm_control_host.h"
#include "db/sql_text_guard.h"
#include "log/format_message.h"

using zarezodud::formatMessage;

namespace {

const int kOrigFLId = 2;

}  // namespace

unsigned int DBQueries::ConfigureSMArrayEntries(std::string arrayName, unsigned long controlHostId,
                                                unsigned long clientId) {
  using namespace zarezodud;
  try {
    if (!useProductConnectionForTables()) return 0;
    DB_DATETIME now;
    DBodbcDate(static_cast<long>(std::time(nullptr)), now, true);
    DB_DATETIME noTime;
    noTime.clear();

    // The control host belongs to the client from now on.
    SMControlHost host(nullptr);
    host.setWhere("ControlHostId = %lu ", controlHostId);
    int status = host.rowUpdate("ClientId = %lu", clientId);
    if (status != DBT_OK) {
      m_lastError = formatMessage("Failed to populate SMControlHost for controlHost Id [%lu]. Error[%s]",
                                  controlHostId, host.getErrorStr(status).c_str());
      return 0;
    }

    // The array: found by name (its quotes doubled so that the name cannot end the literal).
    SMArray array(nullptr);
    SMArray_t* arrayRecord = array.getDataPtr();
    const std::string quotedName = escapeSqlLiteral(arrayName);
    array.setWhere("ArrayName = '%s'", quotedName.c_str());
    unsigned long arrayId = 0;
    status = getOneRow(&array, false, -1, 0);
    if (status == DBT_OK) {
      arrayId = static_cast<unsigned int>(arrayRecord->Id);
      status = array.rowUpdate("DeleteTime = NULL, ClientId = %lu", clientId);
      if (status != DBT_OK) {
        m_lastError = formatMessage("Failure in rowupdate for Array [%lu]. Error[%s]", arrayId,
                                    array.getErrorStr(status).c_str());
        return 0;
      }
    } else if (status == DBT_NO_DATA) {
      arrayRecord->ClientId = static_cast<int>(clientId);
      copyRecordText(arrayRecord->ArrayName, sizeof(arrayRecord->ArrayName), arrayName.c_str());
      arrayRecord->OrigFLId = kOrigFLId;
      arrayRecord->CreationTime = now;
      arrayRecord->UpdateTime = now;
      arrayRecord->DeleteTime = noTime;
      status = array.rowInsert(true);
      if (status != DBT_OK) {
        m_lastError = formatMessage("Failure in rowInsert. Error[%s]", array.getErrorStr(status).c_str());
        return 0;
      }
      arrayId = static_cast<unsigned int>(arrayRecord->Id);
    } else {
      m_lastError = formatMessage("Error[%s]", array.getErrorStr(status).c_str());
      return 0;
    }

    m_lastError =
        formatMessage("Configuring SMControlHostMap with Client Id [%lu], ControlHostId [%lu], ArrayId[%lu]",
                      clientId, controlHostId, arrayId);

    // The link between the array and its control host.
    SMArrayCtrlHostMap link(nullptr);
    SMArrayCtrlHostMap_t* linkRecord = link.getDataPtr();
    link.setWhere("ArrayId = '%d' AND ControlHostId = '%d'", static_cast<int>(arrayId),
                  static_cast<int>(controlHostId));
    status = getOneRow(&link, false, -1, 0);
    if (status == DBT_OK) {
      status = link.rowUpdate("DeleteTime = NULL");
      if (status != DBT_OK) {
        m_lastError = formatMessage("Failure in rowupdate for SMArrayCtrlHostMap. Error[%s]",
                                    link.getErrorStr(status).c_str());
        return 0;
      }
    } else if (status == DBT_NO_DATA) {
      linkRecord->ArrayId = static_cast<int>(arrayId);
      linkRecord->ControlHostId = static_cast<int>(controlHostId);
      linkRecord->CreationTime = now;
      linkRecord->DeleteTime = noTime;
      status = link.rowInsert(true);
      if (status != DBT_OK) {
        m_lastError = formatMessage("Failure in rowInsert. Error[%s]", link.getErrorStr(status).c_str());
        return 0;
      }
    } else {
      m_lastError = formatMessage("Failure. Error[%s]", link.getErrorStr(status).c_str());
      return 0;
    }

    m_lastError = formatMessage(
        "Successfully configured SMControlHost, SMArray and SMArrayCtrlHostMap with Client Id [%lu]",
        clientId);
    return 1;
  } catch (...) {
    // Table and row construction allocate; nothing may leave the library as an exception.
    m_lastError = formatMessage("Failed to configure the storage array entries. Error[%s]",
                                currentExceptionText().c_str());
  }
  return 0;
}
