-- Warns when the data files have less than 20 percent free space.
PRINT '###DESCRIPTION### Database free space check'
DECLARE @sizeMb bigint, @usedMb bigint;
SELECT @sizeMb = SUM(CAST(size AS bigint)) * 8 / 1024,
       @usedMb = SUM(CAST(FILEPROPERTY(name, 'SpaceUsed') AS bigint)) * 8 / 1024
FROM sys.database_files WHERE type_desc = 'ROWS';
IF @sizeMb > 0 AND (@sizeMb - @usedMb) * 100 / @sizeMb < 20
BEGIN
    PRINT '###WARNING### Only ' + CAST(@sizeMb - @usedMb AS nvarchar(20)) + ' MB free in the data files.'
    PRINT '###ADVICE### Grow the data files before upgrading so that the upgrade does not stall.'
    SELECT 101;
END
ELSE
    SELECT 0;
GO
