-- Reports the server version; the upgrade needs SQL Server 2016 (13.x) or later.
PRINT '###DESCRIPTION### SQL Server version check'
DECLARE @major int = CAST(PARSENAME(CAST(SERVERPROPERTY('ProductVersion') AS nvarchar(128)), 4) AS int);
PRINT '###HEADER###Version:,:Edition'
PRINT '###DATA###' + CAST(SERVERPROPERTY('ProductVersion') AS nvarchar(128)) + ':,:'
      + CAST(SERVERPROPERTY('Edition') AS nvarchar(128));
IF @major < 13
BEGIN
    PRINT '###ERROR### SQL Server ' + CAST(@major AS nvarchar(10)) + ' is too old for this upgrade.'
    PRINT '###ADVICE### Upgrade the SQL Server instance to 2016 or later, then run the upgrade again.'
    SELECT 2;
END
ELSE
    SELECT 0;
GO
