-- The database must be owned by a login that still exists.
PRINT '###DESCRIPTION### Database owner check'
IF NOT EXISTS (SELECT 1 FROM sys.databases d JOIN sys.server_principals p ON d.owner_sid = p.sid
               WHERE d.name = DB_NAME())
BEGIN
    PRINT '###ERROR### The owner of database ' + DB_NAME() + ' is not a valid login.'
    PRINT '###ADVICE### Run ALTER AUTHORIZATION ON DATABASE::' + DB_NAME() + ' TO sa; and retry.'
    SELECT 2;
END
ELSE
    SELECT 0;
GO
