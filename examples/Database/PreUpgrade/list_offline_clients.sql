-- Lists clients that have not reported for 30 days; they are upgraded when they return.
PRINT '###DESCRIPTION### Clients offline for more than 30 days'
IF OBJECT_ID('dbo.APP_Client') IS NOT NULL
BEGIN
    DECLARE @name nvarchar(256), @seen datetime, @count int = 0;
    DECLARE offline CURSOR LOCAL FAST_FORWARD FOR
        SELECT name, lastSeen FROM dbo.APP_Client WHERE lastSeen < DATEADD(day, -30, GETDATE());
    OPEN offline;
    FETCH NEXT FROM offline INTO @name, @seen;
    IF @@FETCH_STATUS = 0 PRINT '###WARNING### Some clients have been offline for more than 30 days.'
    PRINT '###HEADER###Client:,:Last seen'
    WHILE @@FETCH_STATUS = 0
    BEGIN
        PRINT '###DATA###' + @name + ':,:' + CONVERT(nvarchar(30), @seen, 120);
        SET @count += 1;
        FETCH NEXT FROM offline INTO @name, @seen;
    END
    CLOSE offline;
    DEALLOCATE offline;
    SELECT CASE WHEN @count > 0 THEN 101 ELSE 0 END;
END
GO
